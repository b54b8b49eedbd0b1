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
        {"game.exe", 0, 64, "game.exe"},
        {"a\x1b[2J\n", 0, 64, "a\\x1B[2J\\x0A"},
        {"\x7f~", 0, 64, "\\x7F~"},
        {"a\\b", 1, 64, "a\\x5Cb"},
        {"a\\b", 0, 64, "a\\b"},
        {"ab\x1b", 0, 6, "ab"}, // an escape is put whole or not at all
        {"abc", 0, 3, "ab"},
#ifndef _WIN32
        // The C locale is taken as UTF-8.
        {"c1\xc2\x9b" "31m.bin", 0, 64, "c1\\x9B31m.bin"},
        {"\xc2\x80\xc2\x9f\xc2\xa0", 0, 64, "\\x80\\x9F\xc2\xa0"},
        {"caf\xc3\xa9", 0, 64, "caf\xc3\xa9"},
        // Bytes that begin no character: kept, but a C1 control's escaped.
        {"\x9b" "31m", 0, 64, "\\x9B31m"},
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
