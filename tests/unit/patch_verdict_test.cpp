#include "apply_texts.h"
#include "patch_verdict.h"

#include <gtest/gtest.h>

#include <string>

static PatchSpace Space;

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

// The box for a patch: its own lines alone without a file; with one, the
// fit's line, and a warning where the file's name does not give the target.
TEST(DescribeFit, SaysWhatThePatchIsAndWarnsOfAnotherName)
{
    static const unsigned char bytes[] = "GAME.EXE\0\0\0\0\0\x01\0\x01\0\0\0\x01\xaa" "hi";
    PatchContents patch;
    char refusal[REFUSAL_SIZE], box[VERDICT_SIZE];
    ASSERT_TRUE(ReadPatchBytes(bytes, sizeof bytes - 1, 0, &Space, &patch, refusal));
    const std::string lines = "Target: GAME.EXE\r\nRecords: 1\r\nComment: hi";
    const struct {
        const char* file;
        std::string box;
    } rows[] = {
        {nullptr, lines},
        {"", lines},
        {GAME "game.exe", lines + "\r\nNot applied: 1 byte will change."},
        {GAME "other.exe", lines + "\r\nNot applied: 1 byte will change.\r\n"
                                   "Warning: this patch is for GAME.EXE; this file's name gives OTHER.EXE."},
    };
    for (const auto& row : rows) {
        PatchFit fit = {};
        fit.state = FIT_NOT_APPLIED;
        DescribeFit(&patch, NULL, row.file, &fit, NULL, box);
        EXPECT_EQ(std::string(box), row.box) << (row.file ? row.file : "no file");
    }
}
