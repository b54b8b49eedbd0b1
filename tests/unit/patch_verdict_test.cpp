#include "patch_verdict.h"
#include "test_files.h"

#include <string>

class PatchVerdictTest : public TempFolderTest {};

// The information box for a patch of two records against files in each state.
TEST_F(PatchVerdictTest, DescribesHowThePatchMeetsTheFile)
{
    const std::string patchBytes = std::string("GAME.EXE\0\0\0\0\0", 13) + Count(2) + Record(1, 'A') + Record(3, 'B') + "hi\n";
    const std::string head = "Target: GAME.EXE\r\nRecords: 2\r\nComment: hi\\x0A\r\n";
    const struct {
        const char* file;
        std::string bytes;
        std::string box;
    } rows[] = {
        {"game.exe", "0123", head + "Not applied: 2 bytes will change."},
        {"game.exe", "0A23", head + "Partly applied: 1 of 2 bytes already hold their new value."},
        {"game.exe", "0A2B", head + "Already applied: nothing to do."},
        {"game.exe", "0", head + "Offset 0x00000003 is past the end of this file (1 byte)."},
        {"other.exe", "0A2", head + "Offset 0x00000003 is past the end of this file (3 bytes).\r\n"
                                    "Warning: this patch is for GAME.EXE; this file's name gives OTHER.EXE."},
    };
    WriteBytes(Path("fix.ov"), patchBytes);
    for (const auto& row : rows) {
        WriteBytes(Path(row.file), row.bytes);
        PatchContents patch;
        PatchFit fit;
        char box[VERDICT_SIZE];
        ASSERT_TRUE(SurveyFit(nullptr, Path("fix.ov").c_str(), Path(row.file).c_str(), &patch, &fit)) << row.bytes;
        DescribeFit(&patch, nullptr, Path(row.file).c_str(), &fit, nullptr, box);
        EXPECT_EQ(box, row.box) << row.bytes;
    }
}

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
