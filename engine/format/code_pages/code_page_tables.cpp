// Written by make_code_pages.py from Python's codecs.
#include "code_page_tables.h"

#include "cp874.inc"
#include "cp932.inc"
#include "cp936.inc"
#include "cp949.inc"
#include "cp950.inc"
#include "cp1250.inc"
#include "cp1251.inc"
#include "cp1252.inc"
#include "cp1253.inc"
#include "cp1254.inc"
#include "cp1255.inc"
#include "cp1256.inc"
#include "cp1257.inc"
#include "cp1258.inc"
#include "cp20127.inc"
#include "cp28591.inc"

const CodePageTable CodePageTables[] = {
    {874, "874 (Thai)", Singles874, nullptr, 0, 0, 0, nullptr, Cells874, 97},
    {932, "932 (Japanese, Shift_JIS)", Singles932, Leads932, 5, 64, 252, Doubles932, Cells932, 9274},
    {936, "936 (Simplified Chinese, GBK)", Singles936, Leads936, 1, 64, 254, Doubles936, Cells936, 21792},
    {949, "949 (Korean, Unified Hangul Code)", Singles949, Leads949, 2, 65, 254, Doubles949, Cells949, 17048},
    {950, "950 (Traditional Chinese, Big5)", Singles950, Leads950, 2, 64, 254, Doubles950, Cells950, 13493},
    {1250, "Windows-1250 (Central European)", Singles1250, nullptr, 0, 0, 0, nullptr, Cells1250, 123},
    {1251, "Windows-1251 (Cyrillic)", Singles1251, nullptr, 0, 0, 0, nullptr, Cells1251, 127},
    {1252, "Windows-1252 (Western European)", Singles1252, nullptr, 0, 0, 0, nullptr, Cells1252, 123},
    {1253, "Windows-1253 (Greek)", Singles1253, nullptr, 0, 0, 0, nullptr, Cells1253, 111},
    {1254, "Windows-1254 (Turkish)", Singles1254, nullptr, 0, 0, 0, nullptr, Cells1254, 121},
    {1255, "Windows-1255 (Hebrew)", Singles1255, nullptr, 0, 0, 0, nullptr, Cells1255, 105},
    {1256, "Windows-1256 (Arabic)", Singles1256, nullptr, 0, 0, 0, nullptr, Cells1256, 128},
    {1257, "Windows-1257 (Baltic)", Singles1257, nullptr, 0, 0, 0, nullptr, Cells1257, 116},
    {1258, "Windows-1258 (Vietnamese)", Singles1258, nullptr, 0, 0, 0, nullptr, Cells1258, 119},
    {20127, "20127 (US-ASCII)", Singles20127, nullptr, 0, 0, 0, nullptr, nullptr, 0},
    {28591, "28591 (ISO 8859-1, Latin 1)", Singles28591, nullptr, 0, 0, 0, nullptr, Cells28591, 128},
};
const unsigned CodePageTableCount = 16;
