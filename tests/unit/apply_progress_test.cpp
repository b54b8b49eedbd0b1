// A refused check or apply keeps no file open: a long-running front end would
// hold a file it no longer uses (on Windows, keep others from writing it).
#include "patch_apply.h"
#include "test_files.h"

#include <memory>
#include <thread>

static PatchSpace Space;

class ApplyProgressTest : public TempFolderTest {};

// Two checks at once, of two patches over two files, each see only their
// own: their records, and the file's bytes at them.
TEST_F(ApplyProgressTest, ChecksAtOnceKeepApart)
{
    const unsigned count = 3000;
    for (char value : {'x', 'y'}) {
        std::string patch = std::string("F\0\0\0\0\0\0\0\0\0\0\0\0", 13) + Count(count);
        for (unsigned i = 0; i < count; i++)
            patch += Record(7 * i, value);
        WriteBytes(Path(std::string(1, value) + ".ov"), patch);
        WriteBytes(Path(std::string(1, value)), std::string(7 * count, value == 'x' ? 'x' : 'z'));
    }
    int wrong[2] = {};
    auto checks = [&](const std::string& name, unsigned applied, int* misses) {
        std::unique_ptr<PatchSpace> space(new PatchSpace);
        PatchContents patch;
        PatchFit fit;
        Problem problem;
        for (int i = 0; i < 30; i++)
            *misses += !CheckPatch(Path(name + ".ov").c_str(), Path(name).c_str(), 0, 1, 1, space.get(), &patch, &fit,
                                  &problem) || fit.applied != applied;
    };
    std::thread other(checks, "y", 0u, &wrong[1]);
    checks("x", count, &wrong[0]);
    other.join();
    EXPECT_EQ(wrong[0] + wrong[1], 0);
}

#ifndef _WIN32
#include <filesystem>

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
