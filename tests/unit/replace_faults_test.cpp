// Faults of the system's calls during an apply, a make and a show: each row
// breaks calls through the engine's table and sees the line the user is
// shown and the files left on disk.
#include "patch_apply.h"
#include "patch_builder.h"
#include "system_faults.h"
#include "test_files.h"

#include <cerrno>
#include <filesystem>
#include <fstream>

#ifndef _WIN32
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

static const std::string Patch2 = std::string("GAME.EXE\0\0\0\0\0", 13) + Count(2) + Record(1, '\xaa')
                                  + Record(3, '\xbb') + "hi";
static const std::string Original("\x00\x11\x22\x33", 4);

static std::string Hex(const std::string& bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned char byte : bytes)
        hex += std::string{digits[byte >> 4], digits[byte & 15]};
    return hex;
}

// Temporary names with their random characters as X: .morvex-XXXXXX (POSIX), mvxXXXX.tmp (Windows).
static std::string Steady(std::string text)
{
    for (const auto& [prefix, length] : {std::pair<std::string, size_t>{"morvex-", 6}, {"mvx", 4}})
        for (size_t at = text.find(prefix); at != std::string::npos; at = text.find(prefix, at + 1))
            text.replace(at + prefix.size(), std::min(length, text.size() - at - prefix.size()), "X");
    return text;
}

static std::string Line(const Problem& problem)
{
    char line[PROBLEM_TEXT_SIZE * 2];
    ProblemLine(problem, line, sizeof line);
    return Steady(line);
}

// Runs in the row's folder, so that paths and the names of kept files read
// as a user in that folder would see them.
class ReplaceFaultsTest : public TempFolderTest {
protected:
    void SetUp() override
    {
        TempFolderTest::SetUp();
        before = fs::current_path();
        fs::current_path(folder);
    }
    void TearDown() override
    {
        DisarmFaults();
        fs::current_path(before);
        TempFolderTest::TearDown();
    }
    // game.exe's bytes, the undo patch's first three, and each kept file's.
    std::string Files() const
    {
        std::string files = fs::exists("game.exe") ? Hex(ReadBytes("game.exe")) : "";
        files += " " + ReadBytes("u").substr(0, 3);
        for (const std::string& name : Listing())
            if (name != "game.exe" && name != "g2" && name != "p" && name != "u" && name != "src")
                files += " " + Hex(ReadBytes(name));
        return files;
    }
    // The names beside game.exe.
    std::string Others() const
    {
        std::string others;
        for (const std::string& name : Listing())
            if (name != "game.exe" && name != "src")
                others += (others.empty() ? "" : " ") + Steady(name);
        return others;
    }
    fs::path before;
};

static int Apply(const char* file, const char* undo, int anyName, PatchFit* fit, Problem* problem)
{
    return ApplyPatch("p", file, nullptr, undo, anyName, 0, nullptr, fit, problem);
}

// The apply through a copy: src, which holds what game.exe held, patched over game.exe.
static int ApplyCopy(const char* undo, PatchFit* fit, Problem* problem)
{
    WriteBytes("src", ReadBytes("game.exe"));
    return ApplyPatch("p", "src", "game.exe", undo, 1, 0, nullptr, fit, problem);
}

static void ReplaceGame()
{
    WriteBytes("n", "new");
    fs::rename("n", "game.exe");
}

static void RemoveGame()
{
    fs::remove("game.exe");
}

static void AppendToGame()
{
    std::ofstream("game.exe", std::ios::binary | std::ios::app) << 'x';
}

static void ShrinkOriginal()
{
    fs::resize_file("o.bin", 1000);
}

struct FaultRow {
    const char* name;
    Fault faults[3];
    int applied;
    const char* line;  // what the user is told; for an apply that succeeded, a note or nothing
    const char* after; // game.exe, the undo patch's start and each kept file, as Files() gives them
    int copy = 0;      // game.exe is the output of an apply through a copy, not patched in place
};

static void CheckRow(const FaultRow& row, int applied, const std::string& line, const std::string& files,
                     const std::string& others)
{
    EXPECT_EQ(applied, row.applied) << row.name;
    EXPECT_EQ(line, row.line) << row.name;
    EXPECT_EQ(files, row.after) << row.name;
    // Nothing is left but the kept file the line names.
    std::string kept = strstr(row.line, ".morvex-X~") ? ".morvex-X~ " : strstr(row.line, ".morvex-X") ? ".morvex-X " : "";
    EXPECT_EQ(others, kept + "g2 p u") << row.name;
    EXPECT_GT(FaultsHit(), 0) << row.name;
}

#ifndef _WIN32
// Each row is an apply --undo u over game.exe, which has an extended
// attribute and a second hard link g2, and an old undo patch u.
TEST_F(ReplaceFaultsTest, ApplyWithUndo)
{
    const char* eio = ": Input/output error";
    const std::string kept = std::string("game.exe: patched, but the undo patch was not written; the old contents are kept as ./.morvex-X");
    const std::string keptLink = kept + "~" + eio, keptSwap = kept + eio;
    const std::string uFailed = std::string("u: cannot be written") + eio, changed = "game.exe: changed while Morvex was working";
    const std::string notRemoved = std::string("game.exe: the old contents are left as ./.morvex-X") + eio;
    const FaultRow rows[] = {
        {"second move fails", {{"renameat", 1, 0, EIO}}, 0, uFailed.c_str(), "00112233 old", 1},
        {"second move fails, no swap", {{"renameat2", 1, -1, EINVAL}, {"renameat", 2, 0, EIO}}, 0, uFailed.c_str(),
         "00112233 old", 1},
        {"second move and its taking back fail", {{"renameat", 1, 0, EIO}, {"renameat2", 2, 0, EIO}}, 0,
         keptSwap.c_str(), "00aa22bb old 00112233", 1},
        {"the same, no swap", {{"renameat2", 1, -1, EINVAL}, {"renameat", 2, -1, EIO}}, 0, keptLink.c_str(),
         "00aa22bb old 00112233", 1},
        {"flush fails", {{"fsync", 2, 0, EIO}}, 0, uFailed.c_str(), "00112233 old", 1},
        {"look fails", {{"stat", 1, -1, EACCES, FAULT_FAIL, "u"}, {"fstatat", 1, -1, EACCES, FAULT_FAIL, "u"}}, 0,
         "u: cannot be written: Permission denied", "00112233 old"},
        // The patch is read in two calls (its bytes, then its end); game.exe's read is the third.
        {"replaced while it is read", {{"pread", 3, 0, 0, FAULT_ACT, nullptr, ReplaceGame}}, 0, changed.c_str(),
         "6e6577 old"},
        {"removed while it is read", {{"pread", 3, 0, 0, FAULT_ACT, nullptr, RemoveGame}}, 0, changed.c_str(), " old"},
        {"appended to during the flush", {{"fsync", 1, 0, 0, FAULT_ACT, nullptr, AppendToGame}}, 0, changed.c_str(),
         "0011223378 old"},
        {"old contents not removed", {{"unlinkat", 1, 0, EIO}}, 1, notRemoved.c_str(), "00aa22bb GAM 00112233", 1},
        {"no swap, a link kept instead", {{"renameat2", 1, -1, EINVAL}}, 1, "", "00aa22bb GAM", 1},
        {"owner not settable", {{"fchown", 1, -1, EPERM}}, 1, "", "00aa22bb GAM", 1},
    };
    for (const FaultRow& row : rows) {
        for (const std::string& name : Listing())
            fs::remove(name);
        WriteBytes("p", Patch2);
        WriteBytes("game.exe", Original);
        WriteBytes("u", "old\n");
        ASSERT_EQ(link("game.exe", "g2"), 0);
        ASSERT_EQ(chmod("game.exe", 0640), 0);
        ASSERT_EQ(setxattr("game.exe", "user.mark", "kept", 4, 0), 0);
        PatchFit fit;
        Problem problem;
        ArmFaults(row.faults);
        int applied = row.copy ? ApplyCopy("u", &fit, &problem) : Apply("game.exe", "u", 0, &fit, &problem);
        DisarmFaults();
        CheckRow(row, applied, applied && !fit.noted ? "" : Line(problem), Files(), Others());
        if (!applied)
            continue;
        struct stat status;
        char mark[8] = "";
        EXPECT_EQ(stat("game.exe", &status) == 0 ? status.st_mode & 0777 : 0, 0640u) << row.name;
        EXPECT_EQ(getxattr("game.exe", "user.mark", mark, sizeof mark), 4) << row.name;
        EXPECT_EQ(fit.otherNames, 1) << row.name;
    }
}

// A reason is the failing call's own, wherever it fails: the system's copy
// part way, an open at its last step, a read of an original cut short.
TEST_F(ReplaceFaultsTest, ReasonOfTheFailingCall)
{
    WriteBytes("p", Patch2);
    WriteBytes("big.exe", std::string(1000000, '\0'));
    const Fault copy[] = {{"copy_file_range", 1, -1, EIO}, {}};
    PatchFit fit;
    Problem problem;
    ArmFaults(copy);
    EXPECT_EQ(ApplyPatch("p", "big.exe", "big2", nullptr, 1, 0, nullptr, &fit, &problem), 0);
    EXPECT_EQ(Line(problem), "big.exe: cannot be read: Input/output error");
    EXPECT_EQ(ReadBytes("big.exe"), std::string(1000000, '\0'));

    const Fault control[] = {{"fcntl", 1, -1, EIO}, {}};
    PatchContents contents;
    ArmFaults(control);
    EXPECT_EQ(LoadPatch("p", &contents, &problem), 0);
    EXPECT_EQ(Line(problem), "p: cannot be opened as a file: Input/output error");

    std::string bytes(3000000, '\0');
    for (size_t i = 0; i < bytes.size(); i++)
        bytes[i] = static_cast<char>(i * 7919 >> 5);
    WriteBytes("o.bin", bytes);
    WriteBytes("m.bin", bytes);
    const Fault shrink[] = {{"pread", 1, 0, 0, FAULT_ACT, nullptr, ShrinkOriginal}, {}};
    ArmFaults(shrink);
    EXPECT_EQ(MakePatchFile("o.bin", "m.bin", "s.ov", "", &problem), 0);
    EXPECT_EQ(Line(problem), "o.bin: changed while Morvex was working");
    EXPECT_EQ(FaultsHit(), 1);
    EXPECT_EQ(Listing(), (Messages{"big.exe", "m.bin", "o.bin", "p"}));
}
#endif

// An apply through a copy killed at any of its calls leaves its output
// whole: as it was, or patched.
TEST_F(ReplaceFaultsTest, CrashAtEveryCallLeavesTheFileWhole)
{
    auto reset = [] {
        WriteBytes("p", Patch2);
        WriteBytes("game.exe", Original);
    };
    reset();
    PatchFit fit;
    Problem problem;
    ArmFaults(nullptr);
    ASSERT_EQ(ApplyCopy(nullptr, &fit, &problem), 1);
    int calls = CallsMade("*");
    DisarmFaults();
    ASSERT_GT(calls, 10);
    const std::string patched("\x00\xaa\x22\xbb", 4);
    for (int call = 1; call <= calls; call++) {
        reset();
        Fault crash[] = {{"*", call, 0, 0, FAULT_CRASH}, {}};
        WriteBytes("src", Original);
        EXPECT_EXIT((ArmFaults(crash), ApplyPatch("p", "src", "game.exe", nullptr, 1, 0, nullptr, &fit, &problem)),
                    ::testing::ExitedWithCode(CRASHED), "")
            << call;
        std::string now = ReadBytes("game.exe");
        EXPECT_TRUE(now == Original || now == patched) << call << ": " << Hex(now);
    }
}
