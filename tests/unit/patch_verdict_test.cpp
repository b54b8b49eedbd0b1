#include "apply_texts.h"
#include "patch_verdict.h"

#include <gtest/gtest.h>

#include <string>

// A folder as this system spells it.
#ifdef _WIN32
#define GAME "D:\\game\\"
#else
#define GAME "/game/"
#endif

TEST(UndoPatchPath, PutsTheUndoPatchBesideThePatchedFile)
{
    const struct {
        const char *patch, *file, *undo;
    } rows[] = {
#ifdef _WIN32
        {"C:\\mods\\fix.ov", "D:\\game\\game.exe", "D:\\game\\fix-undo.ov"},
        {"C:\\my.mods\\fix", "game.exe", "fix-undo"},
        {"C:fix.ov", "D:game.exe", "D:fix-undo.ov"},
#else
        // A backslash or a colon is part of a POSIX name.
        {"/m/a\\fix.ov", "/g/b:game.exe", "/g/a\\fix-undo.ov"},
#endif
        {"/m/fix.v2.ov", "/g/game.exe", "/g/fix.v2-undo.ov"},
    };
    for (const auto& row : rows) {
        char undo[64];
        ASSERT_TRUE(UndoPatchPath(row.patch, row.file, undo, sizeof undo));
        EXPECT_STREQ(undo, row.undo);
    }
}

TEST(AppliedText, NamesTheUndoPatchOnlyWhenOneWasWritten)
{
    char text[64];
    AppliedText(GAME "game.exe", NULL, text, sizeof text);
    EXPECT_STREQ(text, "Patch applied to game.exe.");
    AppliedText(GAME "game.exe", GAME "fix-undo.ov", text, sizeof text);
    EXPECT_STREQ(text, "Patch applied to game.exe.\r\nUndo patch: fix-undo.ov");
}

// The box for a patch alone, with no file named: its own lines only.
TEST(DescribeFit, SaysOnlyWhatThePatchIsWithoutAFile)
{
    static const unsigned char bytes[] = "GAME.EXE\0\0\0\0\0\0\0hi";
    PatchContents patch;
    char refusal[REFUSAL_SIZE], box[VERDICT_SIZE];
    ASSERT_TRUE(ReadPatchBytes(bytes, sizeof bytes - 1, 0, &patch, refusal));
    for (const char* file : {static_cast<const char*>(nullptr), ""}) {
        DescribeFit(&patch, NULL, file, NULL, "unused", box);
        EXPECT_STREQ(box, "Target: GAME.EXE\r\nRecords: 0\r\nComment: hi");
    }
}

// With a file named: the fit's line, and a warning where the file's name
// does not give the target name.
TEST(DescribeFit, WarnsOfAnotherName)
{
    static const unsigned char bytes[] = "GAME.EXE\0\0\0\0\0\x01\0\x01\0\0\0\x01\xaa";
    PatchContents patch;
    char refusal[REFUSAL_SIZE], box[VERDICT_SIZE];
    ASSERT_TRUE(ReadPatchBytes(bytes, sizeof bytes - 1, 0, &patch, refusal));
    const char* lines = "Target: GAME.EXE\r\nRecords: 1\r\nComment: (none)\r\nNot applied: 1 byte will change.";
    const struct {
        const char *file, *warning;
    } rows[] = {
        {GAME "game.exe", ""},
        {GAME "other.exe", "\r\nWarning: this patch is for GAME.EXE; this file's name gives OTHER.EXE."},
    };
    for (const auto& row : rows) {
        PatchFit fit = {};
        fit.state = FIT_NOT_APPLIED;
        DescribeFit(&patch, NULL, row.file, &fit, NULL, box);
        EXPECT_EQ(std::string(box), std::string(lines) + row.warning) << row.file;
    }
}
