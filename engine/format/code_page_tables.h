#ifndef MORVEX_CODE_PAGE_TABLES_H
#define MORVEX_CODE_PAGE_TABLES_H

// The code pages patches may use, in code_pages/ as make_code_pages.py wrote them.
// A cell is a byte 0x80-0xFF (cells 0-127) or a byte pair: lead range by
// lead range, each lead byte's pairs `last - first + 1` cells from trail
// byte `first`. A code point of 0 is a cell the code page leaves unmapped;
// the bytes 0x00-0x7F are ASCII in every page.
struct CodePageTable {
    unsigned number;
    const char* name;               // as a person picks it
    const unsigned short* singles;  // 128 code points, of the bytes 0x80-0xFF
    const unsigned char* leads;     // `leadRanges` pairs of first and last lead byte
    unsigned leadRanges;
    unsigned first, last;           // the trail bytes a pair's cells cover
    const unsigned short* doubles;  // code points of the pairs' cells
    const unsigned short* cells;    // the cells written for characters, in code point order
    unsigned cellCount;
};

extern const CodePageTable CodePageTables[];
extern const unsigned CodePageTableCount;

#endif
