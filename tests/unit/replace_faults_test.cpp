// Faults of the system's calls during an apply, a make and a show: each row
// breaks calls through the engine's table and sees the line the user is
// shown and the files left on disk.
#include "patch_apply.h"
#include "patch_builder.h"
#include "system_faults.h"
#include "test_files.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>

#ifndef _WIN32
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;


static std::string Hex(const std::string& bytes)
{
    std::string hex;
    for (unsigned char byte : bytes)
        hex += "0123456789abcdef"[byte >> 4], hex += "0123456789abcdef"[byte & 15];
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

// The line the user is shown, with the row's folder as "." (a kept file's path).
static std::string Line(const Problem& problem)
{
    char line[PROBLEM_TEXT_SIZE * 2];
    ProblemLine(problem, line, sizeof line);
    std::string text = line, folder = fs::current_path().string();
    size_t at = text.find(folder);
    return Steady(at == std::string::npos ? text : text.replace(at, folder.size(), "."));
}

struct FaultRow {
    const char* name;
    Fault faults[3];
    int applied;
    std::string line;  // what the user is told; for an apply that succeeded, a note or nothing
    const char* after; // game.exe, the undo patch's start and each kept file, as Files() gives them
    int copy = 0;      // game.exe is the output of an apply through a copy, not patched in place
};

static int Apply(const char* file, const char* undo, int anyName, PatchFit* fit, Problem* problem)
{
    return ApplyPatch("p", file, nullptr, undo, 0, anyName, 0, nullptr, fit, problem);
}

// The apply through a copy: src, which holds what game.exe held, patched over game.exe.
static int ApplyCopy(const char* undo, PatchFit* fit, Problem* problem)
{
    WriteBytes("src", ReadBytes("game.exe"));
    return ApplyPatch("p", "src", "game.exe", undo, 0, 1, 0, nullptr, fit, problem);
}

// Runs in the row's folder, so that paths and the names of kept files read
// as a user in that folder would see them.
class ReplaceFaultsTest : public FaultsTest {
protected:
    // The patch p, game.exe with a second name g2 (a copy where there are no
    // hard links), an extended attribute and mode 640, and an old undo patch u.
    void Reset()
    {
        for (const std::string& name : Listing())
            fs::remove(name);
        WriteBytes("p", Patch2);
        WriteBytes("game.exe", Original);
        WriteBytes("u", "old\n");
#ifdef _WIN32
        WriteBytes("g2", Original);
#else
        ASSERT_EQ(link("game.exe", "g2"), 0);
        ASSERT_EQ(chmod("game.exe", 0640), 0);
        ASSERT_EQ(setxattr("game.exe", "user.mark", "kept", 4, 0), 0);
#endif
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
    // Each row is an apply --undo u over game.exe; nothing may be left beside
    // it but the kept file its line names.
    void RunRows(const FaultRow* rows, size_t count)
    {
        for (const FaultRow* row = rows; row < rows + count; row++) {
            Reset();
            PatchFit fit;
            Problem problem;
            ArmFaults(row->faults);
            int applied = row->copy ? ApplyCopy("u", &fit, &problem) : Apply("game.exe", "u", 0, &fit, &problem);
            int hits = FaultsHit();
            DisarmFaults();
            EXPECT_EQ(applied, row->applied) << row->name;
            EXPECT_EQ(applied && !fit.noted ? "" : Line(problem), row->line) << row->name;
            EXPECT_EQ(Files(), row->after) << row->name;
            EXPECT_GT(hits, 0) << row->name;
            Messages left = {"g2", "p", "u"};
            for (const char* kept : {".morvex-X~", ".morvex-X", "mvxX.tmp~"})
                if (row->line.find(kept) != std::string::npos && left.size() == 3)
                    left.push_back(kept);
            std::sort(left.begin(), left.end());
            Messages names;
            for (const std::string& name : Listing())
                if (name != "game.exe" && name != "src")
                    names.push_back(Steady(name));
            EXPECT_EQ(names, left) << row->name;
#ifndef _WIN32
            struct stat status;
            char mark[8] = "";
            if (!applied)
                continue;
            EXPECT_EQ(stat("game.exe", &status) == 0 ? status.st_mode & 0777 : 0, 0640u) << row->name;
            EXPECT_EQ(getxattr("game.exe", "user.mark", mark, sizeof mark), 4) << row->name;
            EXPECT_EQ(fit.otherNames, 1) << row->name;
#endif
        }
    }
};

static const std::string Changed = "game.exe: changed while Morvex was working";

#ifdef _WIN32
TEST_F(ReplaceFaultsTest, ApplyWithUndo)
{
    const std::string denied = ": Access denied", uFailed = "u: cannot be written";
    const std::string kept = "game.exe: patched, but the undo patch was not written; the old contents are kept as .\\mvxX.tmp~";
    const FaultRow rows[] = {
        {"second move fails", {{"ReplaceFileA", 2, 0, ERROR_ACCESS_DENIED}}, 0, uFailed + denied, "00112233 old", 1},
        {"second move and its taking back fail", {{"ReplaceFileA", 2, 0, ERROR_ACCESS_DENIED}, {"MoveFileExA", 1, 0, ERROR_ACCESS_DENIED}},
         0, kept + denied, "00aa22bb old 00112233", 1},
        {"flush fails", {{"FlushFileBuffers", 2, 0, ERROR_WRITE_FAULT}}, 0, uFailed + ": Write fault", "00112233 old", 1},
        {"look fails", {{"GetFileAttributesA", 1, -1, ERROR_ACCESS_DENIED, FAULT_FAIL, "u"}}, 0, uFailed + denied,
         "00112233 old", 1},
        {"old contents not removed", {{"DeleteFileA", 1, 0, ERROR_ACCESS_DENIED}}, 1,
         "game.exe: the old contents are left as .\\mvxX.tmp~" + denied, "00aa22bb GAM 00112233", 1},
    };
    RunRows(rows, sizeof rows / sizeof *rows);
}

// Where a process is killed: at each flush, move and removal in turn.
static const char* const CrashPoints[] = {"FlushFileBuffers", "ReplaceFileA", "MoveFileExA", "DeleteFileA"};
#else
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

TEST_F(ReplaceFaultsTest, ApplyWithUndo)
{
    const std::string eio = ": Input/output error", uFailed = "u: cannot be written" + eio;
    const std::string kept = "game.exe: patched, but the undo patch was not written; the old contents are kept as ./.morvex-X";
    const FaultRow rows[] = {
        {"second move fails", {{"renameat", 1, 0, EIO}}, 0, uFailed, "00112233 old", 1},
        {"second move fails, no swap", {{"renameat2", 1, -1, EINVAL}, {"renameat", 2, 0, EIO}}, 0, uFailed,
         "00112233 old", 1},
        {"second move and its taking back fail", {{"renameat", 1, 0, EIO}, {"renameat2", 2, 0, EIO}}, 0, kept + eio,
         "00aa22bb old 00112233", 1},
        {"the same, no swap", {{"renameat2", 1, -1, EINVAL}, {"renameat", 2, -1, EIO}}, 0, kept + "~" + eio,
         "00aa22bb old 00112233", 1},
        {"flush fails", {{"fsync", 2, 0, EIO}}, 0, uFailed, "00112233 old", 1},
        {"look fails", {{"stat", 1, -1, EACCES, FAULT_FAIL, "u"}, {"fstatat", 1, -1, EACCES, FAULT_FAIL, "u"}}, 0,
         "u: cannot be written: Permission denied", "00112233 old"},
        // The patch is read in two calls (its bytes, then its end); game.exe's read is the third.
        {"replaced while it is read", {{"pread", 3, 0, 0, FAULT_ACT, nullptr, ReplaceGame}}, 0, Changed, "6e6577 old"},
        {"removed while it is read", {{"pread", 3, 0, 0, FAULT_ACT, nullptr, RemoveGame}}, 0, Changed, " old"},
        {"appended to during the flush", {{"fsync", 1, 0, 0, FAULT_ACT, nullptr, AppendToGame}}, 0, Changed,
         "0011223378 old"},
        {"old contents not removed", {{"unlinkat", 1, 0, EIO}}, 1,
         "game.exe: the old contents are left as ./.morvex-X" + eio, "00aa22bb GAM 00112233", 1},
        {"no swap, a link kept instead", {{"renameat2", 1, -1, EINVAL}}, 1, "", "00aa22bb GAM", 1},
        {"owner not settable", {{"fchown", 1, -1, EPERM}}, 1, "", "00aa22bb GAM", 1},
    };
    RunRows(rows, sizeof rows / sizeof *rows);
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
    EXPECT_EQ(ApplyPatch("p", "big.exe", "big2", nullptr, 0, 1, 0, nullptr, &fit, &problem), 0);
    EXPECT_EQ(Line(problem), "big.exe: cannot be read: Input/output error");
    EXPECT_EQ(ReadBytes("big.exe"), std::string(1000000, '\0'));

    const Fault control[] = {{"fcntl", 1, -1, EIO}, {}};
    PatchContents contents;
    ArmFaults(control);
    EXPECT_EQ(LoadPatch("p", 0, &contents, &problem), 0);
    EXPECT_EQ(Line(problem), "p: cannot be opened as a file: Input/output error");

    std::string bytes(3000000, '\0');
    for (size_t i = 0; i < bytes.size(); i++)
        bytes[i] = static_cast<char>(i * 7919 >> 5);
    WriteBytes("o.bin", bytes);
    WriteBytes("m.bin", bytes);
    const Fault shrink[] = {{"pread", 1, 0, 0, FAULT_ACT, nullptr, ShrinkOriginal}, {}};
    ArmFaults(shrink);
    EXPECT_EQ(MakePatchFile("o.bin", "m.bin", "s.ov", "", 0, nullptr, &problem), 0);
    EXPECT_EQ(Line(problem), "o.bin: changed while Morvex was working");
    EXPECT_EQ(FaultsHit(), 1);
    EXPECT_EQ(Listing(), (Messages{"big.exe", "m.bin", "o.bin", "p"}));
}

static const char* const CrashPoints[] = {"*"};
#endif

// An apply through a copy killed at any of its calls leaves its output
// whole: as it was, or patched. The death test's child (on Windows a process
// of its own, started again from the test's beginning) works in this folder.
TEST_F(ReplaceFaultsTest, KilledAtEachCallLeavesTheFileWhole)
{
    int outcomes[2] = {};
    for (const char* kind : CrashPoints) {
        Reset();
        PatchFit fit;
        Problem problem;
        ArmFaults(nullptr);
        ASSERT_EQ(ApplyCopy(nullptr, &fit, &problem), 1);
        int calls = CallsMade(kind);
        DisarmFaults();
        for (int call = 1; call <= calls; call++) {
            Reset();
            Fault crash[] = {{kind, call, 0, 0, FAULT_CRASH}, {}};
            WriteBytes("src", Original);
            EXPECT_EXIT((ArmFaults(crash), ApplyPatch("p", "src", "game.exe", nullptr, 0, 1, 0, nullptr, &fit, &problem)),
                        ::testing::ExitedWithCode(CRASHED), "")
                << kind << " " << call;
            std::string now = ReadBytes("game.exe");
            EXPECT_TRUE(now == Original || now == Patched) << kind << " " << call << ": " << Hex(now);
            outcomes[now == Patched]++;
        }
    }
    // Killed before the move and after it: the child worked on this folder's file.
    EXPECT_GT(outcomes[0], 0);
    EXPECT_GT(outcomes[1], 0);
}
