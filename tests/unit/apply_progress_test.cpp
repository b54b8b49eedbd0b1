// A refused check or apply keeps no file open: a long-running front end would
// hold a file it no longer uses (on Windows, keep others from writing it).
#include "patch_apply.h"
#include "test_files.h"

#include <atomic>
#include <memory>
#include <thread>

class ApplyProgressTest : public TempFolderTest {};

// Two checks at once, of two patches over two files, each see only their
// own: their records, and the file's bytes at them.
TEST_F(ApplyProgressTest, ChecksAtOnceKeepApart)
{
    std::string x = std::string(13, '\0') + Count(3000), y = x;
    for (unsigned i = 0; i < 3000; i++)
        x += Record(7 * i, 'x'), y += Record(7 * i, 'y');
    WriteBytes(Path("x.ov"), x), WriteBytes(Path("x"), std::string(21000, 'x'));
    WriteBytes(Path("y.ov"), y), WriteBytes(Path("y"), std::string(21000, 'z'));
    std::atomic<int> wrong{0};
    auto checks = [&](std::string name, unsigned applied) {
        std::unique_ptr<PatchSpace> space(new PatchSpace);
        PatchContents patch;
        PatchFit fit;
        Problem problem;
        for (int i = 0; i < 30; i++)
            wrong += !CheckPatch(Path(name + ".ov").c_str(), Path(name).c_str(), 0, 1, 1, space.get(), &patch, &fit,
                                 &problem) || fit.applied != applied;
    };
    std::thread other(checks, "y", 0u);
    checks("x", 3000u);
    other.join();
    EXPECT_EQ(wrong, 0);
}

#ifndef _WIN32
#include <filesystem>

static PatchSpace Space;

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
        EXPECT_EQ(CheckPatch(Path("p.ov").c_str(), Path(files[i]).c_str(), 0, 0, 0, &Space, &contents, &fit, &problem), 0);
        EXPECT_EQ(ApplyPatch(Path("p.ov").c_str(), Path(files[i]).c_str(), nullptr, nullptr, 0, 0, 0, nullptr, &fit,
                             &problem), 0);
        EXPECT_EQ(open(), before) << files[i];
    }
}
#endif
