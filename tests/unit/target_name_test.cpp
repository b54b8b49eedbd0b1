#include "path_text.h"
#include "target_name.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

static std::string Field(const char* path)
{
    TargetName name = DeriveTargetName(path, 0, NULL);
    return std::string(name.bytes, sizeof name.bytes);
}

// Paths spelled as this system spells them: the name is the last component.
#ifdef _WIN32
#define DIR(name) "C:\\" name "\\"
#else
#define DIR(name) "/" name "/"
#endif

TEST(DeriveTargetName, FollowsTheShortNameRules)
{
    const struct {
        const char* path;
        std::string field; // all 13 bytes
    } cases[] = {
        {DIR("a") "abcdefghi.exe", std::string("ABCDEF~1.EXE\0", 13)},
        {DIR("My Stuff") "long file name.dat", std::string("LONG F~1.EXE\0", 13)},
        {DIR("x") "a.b.c.d.e.f", std::string("A.B.C.D.E.F\0\0", 13)},
        {DIR("x") "[z]{`}@~.ex", std::string("[Z]{`}@~.EX\0\0", 13)},
        {DIR("dir"), std::string(13, '\0')},
#ifdef _WIN32
        // Windows splits at either slash, at a drive's colon without one, and
        // drops the trailing dots and spaces it ignores when opening.
        {"C:\\dir\\sub/f.exe", std::string("F.EXE\0\0\0\0\0\0\0\0", 13)},
        {"C:name.exe", std::string("NAME.EXE\0\0\0\0\0", 13)},
        {"C:\\x\\demo.exe. .", std::string("DEMO.EXE\0\0\0\0\0", 13)},
        {"C:\\x\\. .", std::string(13, '\0')},
#else
        // A backslash is part of a POSIX name.
        {"/dir/sub\\f.exe", std::string("SUB\\F.EXE\0\0\0\0", 13)},
#endif
    };
    for (const auto& c : cases)
        EXPECT_EQ(Field(c.path), c.field) << c.path;
}

TEST(TrimPastedPath, TakesOffBlanksAndOnePairOfQuotes)
{
    const char* rows[][2] = {
        {" \t\" C:\\a b\\x.exe \" \t", "C:\\a b\\x.exe"},
        {"   ", ""},
        {"\"\"", ""},
        {"\"", "\""},
        {"a\"", "a\""},
    };
    for (const auto& row : rows) {
        char path[32];
        strcpy(path, row[0]);
        TrimPastedPath(path);
        EXPECT_STREQ(path, row[1]) << row[0];
    }
}
