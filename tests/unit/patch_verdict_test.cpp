#include "patch_verdict.h"

#include <gtest/gtest.h>

TEST(UndoPatchPath, PutsTheUndoPatchBesideThePatchedFile)
{
    const struct {
        const char *patch, *file, *undo;
    } rows[] = {
        {"C:\\mods\\fix.ov", "D:\\game\\game.exe", "D:\\game\\fix-undo.ov"},
        {"C:\\my.mods\\fix", "game.exe", "fix-undo"},
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
    AppliedText("D:\\game\\game.exe", NULL, text, sizeof text);
    EXPECT_STREQ(text, "Patch applied to game.exe.");
    AppliedText("D:\\game\\game.exe", "D:\\game\\fix-undo.ov", text, sizeof text);
    EXPECT_STREQ(text, "Patch applied to game.exe.\r\nUndo patch: fix-undo.ov");
}

// The box for a patch alone, with no file named: its own lines only.
TEST(DescribeFit, SaysOnlyWhatThePatchIsWithoutAFile)
{
    static const unsigned char bytes[] = "GAME.EXE\0\0\0\0\0\0\0hi";
    PatchContents patch;
    char refusal[REFUSAL_SIZE], box[VERDICT_SIZE];
    ASSERT_TRUE(ReadPatchBytes(bytes, sizeof bytes - 1, &patch, refusal));
    for (const char* file : {static_cast<const char*>(nullptr), ""}) {
        DescribeFit(&patch, NULL, file, NULL, "unused", box);
        EXPECT_STREQ(box, "Target: GAME.EXE\r\nRecords: 0\r\nComment: hi");
    }
}
