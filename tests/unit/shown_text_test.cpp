#include "patch_text.h"
#include "shown_text.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

TEST(ShowProcessText, EscapesControlsByCodePoint)
{
    const struct {
        const char* text;
        int backslash;
        size_t size;
        const char* shown;
    } rows[] = {
        {"a\x1b[2J\n", 0, 64, "a\\x1B[2J\\x0A"},
        {"ab\x1b", 0, 6, "ab"}, // an escape is put whole or not at all
#ifndef _WIN32
        // The C locale is taken as UTF-8.
        {"\xc2\x80\xc2\x9f\xc2\xa0", 0, 64, "\\x80\\x9F\xc2\xa0"},
        // Bytes that begin no character: kept, but a C1 control's escaped.
        {"\x80\xff\xa0", 0, 64, "\\x80\xff\xa0"},
        {"\xc2", 0, 64, "\xc2"},
#endif
    };
    for (const auto& row : rows) {
        char out[64];
        size_t put = ShowProcessText(row.text, out, row.size, row.backslash);
        EXPECT_EQ(std::string(out), row.shown) << row.text;
        EXPECT_EQ(put, strlen(row.shown)) << row.text;
    }
}

#ifndef _WIN32
// In the C locale, which is taken as UTF-8: one '?' for each character the
// code page lacks, never half of one; of two cells that give one character,
// the one Windows writes.
TEST(ToPatchText, WritesTheCellsWindowsWrites)
{
    const struct {
        const char* text;
        unsigned codePage;
        std::string stored;
    } rows[] = {
        {"\xe5\x8d\x81\xe2\x95\xad\xe2\x95\x90\xd0\x81\xe3\x81\x81", 950, "\xa4Q\xa2~\xf9\xf9??"},
        {"\xe2\x82\xac", 936, "\x80"},
        // A byte that begins no UTF-8 character is one '?': an overlong '/'
        // (two forms), a surrogate, a value past U+10FFFF, a character cut short.
        {"\xc0\xaf\xe0\x80\xaf\xed\xa0\x80\xf4\x90\x80\x80\xe0\xa4\x85\xc2\x80\xc3\xa9\xf0\x9f\x98", 1252,
         std::string(14, '?') + "\xe9???"},
    };
    for (const auto& row : rows) {
        char out[64];
        ToPatchText(row.text, out, sizeof out, row.codePage, nullptr);
        EXPECT_EQ(std::string(out), row.stored) << row.text;
    }
}

// Shown in the C locale's UTF-8: a byte the code page leaves undefined is
// '?', controls and '\\' are escaped by their code point in that code page.
TEST(ShowPatchText, ConvertsThenEscapes)
{
    const struct {
        const char* bytes;
        unsigned codePage;
        const char* shown;
    } rows[] = {
        {"CAF\xe9\x9b\x5c.EXE", 28591, "CAF\xc3\xa9\\x9B\\x5C.EXE"},
        {"GAME\x81.EXE", 1252, "GAME?.EXE"},
        {"\xfb\xfc\x8b\xb4\x83\x40", 932, "\xe9\xab\x99\xe6\xa9\x8b\xe3\x82\xa1"},
        {"\x83", 932, "?"},
    };
    for (const auto& row : rows) {
        char out[64];
        ShowPatchText(reinterpret_cast<const unsigned char*>(row.bytes), strlen(row.bytes), out, sizeof out,
                      row.codePage);
        EXPECT_STREQ(out, row.shown) << row.bytes;
    }
}
#endif
