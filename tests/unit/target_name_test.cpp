#include "path_text.h"
#include "target_name.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

static std::string Field(const char* path)
{
    TargetName name = DeriveTargetName(path);
    return std::string(name.bytes, sizeof name.bytes);
}

TEST(DeriveTargetName, FollowsTheShortNameRules)
{
    const struct {
        const char* path;
        std::string field; // all 13 bytes
    } cases[] = {
        {"C:\\Games\\flight.exe", std::string("FLIGHT.EXE\0\0\0", 13)},
        {"C:\\a\\abcdefgh.exe", std::string("ABCDEFGH.EXE\0", 13)},
        {"C:\\a\\abcdefghi.exe", std::string("ABCDEF~1.EXE\0", 13)},
        {"D:\\My Stuff\\long file name.dat", std::string("LONG F~1.EXE\0", 13)},
        {"C:\\x\\Ab.1", std::string("AB.1\0\0\0\0\0\0\0\0\0", 13)},
        {"C:\\x\\\xe9t\xe9.exe", std::string("\xe9T\xe9.EXE\0\0\0\0\0\0", 13)},
        {"C:\\x\\a.b.c.d.e.f", std::string("A.B.C.D.E.F\0\0", 13)},
        {"C:\\x\\[z]{`}@~.ex", std::string("[Z]{`}@~.EX\0\0", 13)},
        {"C:\\dir\\", std::string(13, '\0')},
        // Only the backslash splits a path that has one.
        {"C:\\dir\\sub/f.exe", std::string("SUB/F.EXE\0\0\0\0", 13)},
        // Typed paths without a backslash.
        {"plain.exe", std::string("PLAIN.EXE\0\0\0\0", 13)},
        {"C:name.exe", std::string("NAME.EXE\0\0\0\0\0", 13)},
        {"/home/u/game.exe", std::string("GAME.EXE\0\0\0\0\0", 13)},
        {"C:/games/x:y.exe", std::string("Y.EXE\0\0\0\0\0\0\0\0", 13)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Field(c.path), c.field) << c.path;
}

TEST(DeriveTargetName, KeepsNothingOfAnEarlierName)
{
    Field("C:\\a\\abcdefghijkl.exe");
    EXPECT_EQ(Field("C:\\a\\b.exe"), std::string("B.EXE\0\0\0\0\0\0\0\0", 13));
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
