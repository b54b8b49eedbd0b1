// A refused check or apply keeps no file open: a long-running front end would
// hold a file it no longer uses (on Windows, keep others from writing it).
#include "patch_apply.h"
#include "test_files.h"

#ifndef _WIN32
#include <filesystem>

class ApplyProgressTest : public TempFolderTest {};

TEST_F(ApplyProgressTest, RefusalsLeaveNoFileOpen)
{
    auto open = [] { return std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}); };
    WriteBytes(Path("p.ov"), std::string("GAME.EXE\0\0\0\0\0", 13) + Count(2) + Record(1, 'X') + Record(3, 'Y'));
    const char* files[] = {"game.exe", "other.exe", "short"};
    const char* bytes[] = {"aXcd", "abcd", "ab"}; // partly applied, another name, past the end
    for (int i = 0; i < 3; i++) {
        WriteBytes(Path(files[i]), bytes[i]);
        long before = open();
        PatchContents contents;
        PatchFit fit;
        Problem problem;
        EXPECT_EQ(CheckPatch(Path("p.ov").c_str(), Path(files[i]).c_str(), 0, 0, 0, &contents, &fit, &problem), 0);
        EXPECT_EQ(ApplyPatch(Path("p.ov").c_str(), Path(files[i]).c_str(), nullptr, nullptr, 0, 0, 0, nullptr, &fit,
                             &problem), 0);
        EXPECT_EQ(open(), before) << files[i];
    }
}
#endif
