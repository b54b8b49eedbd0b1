// Faults of the system's calls during an apply, in place or through a copy,
// and a make: each row breaks calls through the engine's table and sees the
// line the user is shown and the files left on disk.
#include "patch_apply.h"
#include "patch_builder.h"
#include "system_faults.h"
#include "test_files.h"

#include <cerrno>
#include <filesystem>

#ifndef _WIN32
#include <sys/stat.h>
#include <sys/xattr.h>
#endif

namespace fs = std::filesystem;

static std::string Hex(const std::string& bytes)
{
    std::string hex;
    for (unsigned char byte : bytes)
        hex += "0123456789abcdef"[byte >> 4], hex += "0123456789abcdef"[byte & 15];
    return hex;
}

struct FaultRow {
    const char* name;
    Fault faults[4]; // up to three, then the end
    int copy;          // through a copy: src, holding what game.exe held, patched over game.exe
    int applied;
    std::string line;  // what the user is told; for an apply that succeeded, a note or nothing
    std::string after; // game.exe, the undo patch's start and each file left beside them, as Files() gives them
};

static const std::string Changed = "game.exe: changed while Morvex was working";
static Progress Following;

class ReplaceFaultsTest : public FaultsTest {
protected:
    std::string Files() const
    {
        std::string files = fs::exists("game.exe") ? Hex(ReadBytes("game.exe")) : "";
        files += " " + ReadBytes("u").substr(0, 3);
        for (const std::string& name : Listing())
            if (name != "game.exe" && name != "g2" && name != "p" && name != "u" && name != "src")
                files += " " + Steady(name) + (name == Journal ? "" : "=" + Hex(ReadBytes(name)));
        return files;
    }
    // Each row is an apply --undo u over game.exe; in place, one more apply
    // finishes what the fault left.
    void RunRows(const FaultRow* rows, size_t count)
    {
        for (const FaultRow* row = rows; row < rows + count; row++) {
            Reset();
            Following.cancel = 0;
            PatchFit fit;
            Problem problem;
            if (row->copy)
                WriteBytes("src", Original);
            ArmFaults(row->faults);
            int applied = ApplyPatch("p", row->copy ? "src" : "game.exe", row->copy ? "game.exe" : nullptr, "u", 0,
                                     row->copy, 0, &Following, &fit, &problem);
            int hits = FaultsHit();
            DisarmFaults();
            EXPECT_EQ(applied, row->applied) << row->name;
            EXPECT_EQ(applied && !fit.noted ? "" : Line(problem), row->line) << row->name;
            EXPECT_EQ(Files(), row->after) << row->name;
            EXPECT_GT(hits, 0) << row->name;
#ifndef _WIN32
            struct stat status;
            char mark[8] = "";
            if (applied) {
                EXPECT_EQ(stat("game.exe", &status) == 0 ? status.st_mode & 0777 : 0, 0640u) << row->name;
                EXPECT_EQ(getxattr("game.exe", "user.mark", mark, sizeof mark), 4) << row->name;
                EXPECT_EQ(fit.otherNames, row->copy) << row->name;
            }
#endif
            if (!row->copy && row->line != Changed)
                ApplyAgain(row->name);
        }
    }
};

#ifdef _WIN32
TEST_F(ReplaceFaultsTest, ApplyWithUndo)
{
    const std::string denied = ": Access denied", uFailed = "u: cannot be written";
    const std::string kept = "game.exe: patched, but the undo patch was not written; the old contents are kept as .\\mvxX.tmp~";
    const FaultRow rows[] = {
        {"second move fails", {{"ReplaceFileA", 2, 0, ERROR_ACCESS_DENIED}}, 1, 0, uFailed + denied, "00112233 old"},
        {"second move and its taking back fail", {{"ReplaceFileA", 2, 0, ERROR_ACCESS_DENIED}, {"MoveFileExA", 1, 0, ERROR_ACCESS_DENIED}},
         1, 0, kept + denied, "00aa22bb old mvxX.tmp~=00112233"},
        {"flush fails", {{"FlushFileBuffers", 2, 0, ERROR_WRITE_FAULT}}, 1, 0, uFailed + ": Write fault", "00112233 old"},
        {"look fails", {{"GetFileAttributesA", 1, -1, ERROR_ACCESS_DENIED, FAULT_FAIL, "u"}}, 1, 0, uFailed + denied,
         "00112233 old"},
        {"old contents not removed", {{"DeleteFileA", 1, 0, ERROR_ACCESS_DENIED}}, 1, 1,
         "game.exe: the old contents are left as .\\mvxX.tmp~" + denied, "00aa22bb GAM mvxX.tmp~=00112233"},
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

static void PressCancel()
{
    Following.cancel = 1;
}

// In place the calls of an apply --undo come in this order: the journal's
// write, flush, name and folder flush; the file's writes and flush; the undo
// patch's flush, name and folder flush; the journal's removal and folder flush.
TEST_F(ReplaceFaultsTest, ApplyWithUndo)
{
    const std::string eio = ": Input/output error", uFailed = "u: cannot be written" + eio;
    const std::string journal = " .game.exe.morvex-journal", unwritten = "./.game.exe.morvex-journal: cannot be written";
    const std::string left = "; the journal ./.game.exe.morvex-journal is kept: apply the patch again to finish it" + eio;
    const std::string kept = "game.exe: patched, but the undo patch was not written; the old contents are kept as ./.morvex-X";
    const FaultRow rows[] = {
        {"journal not written", {{"write", 1, 0, ENOSPC}}, 0, 0, unwritten + ": No space left on device", "00112233 old"},
        {"journal not flushed", {{"fdatasync", 1, 0, EIO}}, 0, 0, unwritten + eio, "00112233 old"},
        {"journal's name not flushed", {{"fsync", 1, 0, EIO}}, 0, 0, unwritten + eio, "00112233 old"},
        {"file not written", {{"pwrite", 1, 0, EIO}}, 0, 0, "game.exe: cannot be written" + left, "00112233 old" + journal},
        {"file not flushed", {{"fdatasync", 2, 0, EIO}}, 0, 0, "game.exe: cannot be flushed to the disk" + left,
         "00aa22bb old" + journal},
        {"undo patch not flushed", {{"fsync", 2, 0, EIO}}, 0, 0, "u: cannot be written; the file is patched" + left,
         "00aa22bb old" + journal},
        {"undo patch's name not flushed", {{"fsync", 3, 0, EIO}}, 0, 0,
         "u: written, but its folder cannot be flushed to the disk; the file is patched" + left, "00aa22bb GAM" + journal},
        {"a folder held by O_PATH, which no call flushes", {{"fsync", 3, 0, EBADF}}, 0, 1, "", "00aa22bb GAM"},
        {"journal not removed", {{"unlinkat", 1, 0, EIO, FAULT_FAIL, Journal}}, 0, 0,
         "game.exe: patched, but its journal ./.game.exe.morvex-journal cannot be removed" + eio, "00aa22bb GAM" + journal},
        {"journal's removal not flushed", {{"fsync", 4, 0, EIO}}, 0, 0,
         "game.exe: patched, but its journal ./.game.exe.morvex-journal is removed without its folder flushed to the disk"
             + eio, "00aa22bb GAM"},
        {"patch not opened", {{"fcntl", 1, 0, EIO}}, 0, 0, "p: cannot be opened as a file" + eio, "00112233 old"},
        {"patch not looked at", {{"fstat", 1, 0, EOVERFLOW}}, 0, 0,
         "p: cannot be opened as a file: Value too large for defined data type", "00112233 old"},
        // A lock the system cannot give (ENOLCK over NFS) does not stop the apply.
        {"no lock", {{"flock", 1, -1, ENOLCK}}, 0, 1, "", "00aa22bb GAM"},
        // Cancel is heard until the first write to the file.
        {"cancelled", {{"write", 1, 0, 0, FAULT_ACT, nullptr, PressCancel}}, 0, 0, "cancelled", "00112233 old"},
        {"cancelled too late", {{"pwrite", 1, 0, 0, FAULT_ACT, nullptr, PressCancel}}, 0, 1, "", "00aa22bb GAM"},
        {"moved over during its flush", {{"fdatasync", 2, 0, 0, FAULT_ACT, nullptr, ReplaceGame}}, 0, 0, Changed,
         "6e6577 old"},
        {"look fails", {{"stat", 1, -1, EACCES, FAULT_FAIL, "u"}, {"fstatat", 1, -1, EACCES, FAULT_FAIL, "u"}}, 0, 0,
         "u: cannot be written: Permission denied", "00112233 old"},
        {"second move fails", {{"renameat", 1, 0, EIO}}, 1, 0, uFailed, "00112233 old"},
        {"second move and its taking back fail", {{"renameat", 1, 0, EIO}, {"renameat2", 2, 0, EIO}}, 1, 0, kept + eio,
         "00aa22bb old .morvex-X=00112233"},
        {"the same, and the folder's flush", {{"renameat", 1, 0, EIO}, {"renameat2", 2, 0, EIO}, {"fsync", 3, 0, ENOSPC}},
         1, 0, kept + eio, "00aa22bb old .morvex-X=00112233"},
        {"the same, no swap", {{"renameat2", 1, -1, EINVAL}, {"renameat", 2, -1, EIO}}, 1, 0, kept + "~" + eio,
         "00aa22bb old .morvex-X~=00112233"},
        {"flush fails", {{"fsync", 2, 0, EIO}}, 1, 0, uFailed, "00112233 old"},
        {"folder not flushed", {{"fsync", 3, 0, EIO}}, 1, 0,
         "game.exe: patched, but its folder cannot be flushed to the disk" + eio, "00aa22bb GAM"},
        {"old contents not removed", {{"unlinkat", 1, 0, EIO}}, 1, 1,
         "game.exe: the old contents are left as ./.morvex-X" + eio, "00aa22bb GAM .morvex-X=00112233"},
        {"owner not settable", {{"fchown", 1, -1, EPERM}}, 1, 1, "", "00aa22bb GAM"},
    };
    RunRows(rows, sizeof rows / sizeof *rows);
}

// A reason is the failing call's own: here the system's copy, part way.
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

    EXPECT_EQ(Listing(), (Messages{"big.exe", "p"}));
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
        const Fault count[] = {{kind, 0}, {}};
        WriteBytes("src", Original);
        ArmFaults(count);
        ASSERT_EQ(ApplyPatch("p", "src", "game.exe", nullptr, 0, 1, 0, nullptr, &fit, &problem), 1);
        int calls = CallsMatched();
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
