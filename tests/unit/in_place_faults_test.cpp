// An apply in place broken at its system calls: each failure says what
// failed and leaves a state one more apply finishes; a kill at any call
// leaves one of the three states, which check tells apart.
#include "patch_apply.h"
#include "system_faults.h"
#include "test_files.h"

#include <cerrno>
#include <filesystem>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace fs = std::filesystem;

static const std::string Undo = std::string("GAME.EXE\0\0\0\0\0", 13) + Count(2) + Record(1, '\x11')
                                + Record(3, '\x33') + "undoes p";
static const char Journal[] = ".game.exe.morvex-journal";

class InPlaceFaultsTest : public FaultsTest {
protected:
    void Reset()
    {
        for (const std::string& name : Listing())
            fs::remove(name);
        WriteBytes("p", Patch2);
        WriteBytes("game.exe", Original);
        WriteBytes("u", "old");
        ASSERT_EQ(link("game.exe", "g2"), 0);
    }
    // What check says: "original", "interrupted" or "patched", each with
    // the undo patch as it stands; anything else is no state of the three.
    std::string State()
    {
        PatchContents patch;
        PatchFit fit;
        Problem problem;
        if (!CheckPatch("p", "game.exe", 0, 0, 0, &patch, &fit, &problem))
            return "refused";
        std::string undo = ReadBytes("u");
        if (fit.journal == JOURNAL_INTERRUPTED)
            return "interrupted";
        if (fit.state == FIT_NOT_APPLIED && undo == "old" && !fs::exists(Journal))
            return "original";
        if (fit.state == FIT_APPLIED && undo == Undo && !fs::exists(Journal))
            return "patched";
        return "neither";
    }
    // One more apply, as a user would give it again, reaches the file
    // patched, its exact undo patch, and nothing else beside them.
    void ApplyAgain(const std::string& why, const std::string& state)
    {
        PatchFit fit;
        Problem problem;
        const char* undo = state == "patched" ? nullptr : "u";
        EXPECT_EQ(ApplyPatch("p", "game.exe", nullptr, undo, 0, 0, 0, nullptr, &fit, &problem), 1) << why;
        EXPECT_EQ(ReadBytes("game.exe") + ReadBytes("g2") + ReadBytes("u"), Patched + Patched + Undo) << why;
        EXPECT_EQ(Listing(), (Messages{"g2", "game.exe", "p", "u"})) << why;
    }
};

static int ApplyWithUndo(PatchFit* fit, Problem* problem)
{
    return ApplyPatch("p", "game.exe", nullptr, "u", 0, 0, 0, nullptr, fit, problem);
}

static std::string Line(const Problem& problem)
{
    char line[PROBLEM_TEXT_SIZE * 2];
    ProblemLine(problem, line, sizeof line);
    return line;
}

// The calls of an apply --undo in their order: the journal's write, flush,
// name and folder flush; the file's writes and flush; the undo patch's
// flush, name and folder flush; the journal's removal and folder flush.
TEST_F(InPlaceFaultsTest, EachFailureSaysWhatFailedAndOneMoreApplyFinishes)
{
    const std::string kept = "; the journal ./.game.exe.morvex-journal is kept: apply the patch again to finish it";
    const std::string eio = ": Input/output error";
    const struct {
        const char* name;
        Fault fault;
        std::string line, file, state;
    } rows[] = {
        {"journal not written", {"write", 1, 0, ENOSPC}, "./.game.exe.morvex-journal: cannot be written: No space left on device", Original, "original"},
        {"journal not flushed", {"fdatasync", 1, 0, EIO}, "./.game.exe.morvex-journal: cannot be written" + eio, Original, "original"},
        {"journal not named", {"linkat", 1, 0, EIO}, "./.game.exe.morvex-journal: cannot be written" + eio, Original, "original"},
        {"journal's folder not flushed", {"fsync", 1, 0, EIO}, "./.game.exe.morvex-journal: cannot be written" + eio, Original, "original"},
        {"first write fails", {"pwrite", 1, 0, EIO}, "game.exe: cannot be written" + kept + eio, Original, "interrupted"},
        {"second write fails", {"pwrite", 2, 0, ENOSPC}, "game.exe: cannot be written" + kept + ": No space left on device",
         std::string("\x00\xaa\x22\x33", 4), "interrupted"},
        {"file not flushed", {"fdatasync", 2, 0, EIO}, "game.exe: cannot be flushed to the disk" + kept + eio, Patched, "interrupted"},
        {"undo patch not flushed", {"fsync", 2, 0, EIO}, "u: cannot be written; the file is patched" + kept + eio, Patched, "interrupted"},
        {"undo patch not named", {"linkat", 2, -1, EIO}, "u: cannot be written; the file is patched" + kept + eio, Patched, "interrupted"},
        {"journal not removed", {"unlinkat", 1, 0, EIO, FAULT_FAIL, Journal},
         "game.exe: patched, but its journal ./.game.exe.morvex-journal cannot be removed" + eio, Patched, "interrupted"},
        {"journal's removal not flushed", {"fsync", 4, 0, EIO},
         "game.exe: patched, but its journal ./.game.exe.morvex-journal is removed without its folder flushed to the disk" + eio,
         Patched, "patched"},
    };
    for (const auto& row : rows) {
        Reset();
        PatchFit fit;
        Problem problem;
        Fault faults[] = {row.fault, {}};
        ArmFaults(faults);
        EXPECT_EQ(ApplyWithUndo(&fit, &problem), 0) << row.name;
        DisarmFaults();
        EXPECT_GT(FaultsHit(), 0) << row.name;
        EXPECT_EQ(Line(problem), row.line) << row.name;
        EXPECT_EQ(ReadBytes("game.exe"), row.file) << row.name;
        EXPECT_EQ(State(), row.state) << row.name;
        ApplyAgain(row.name, row.state);
    }
}

// Killed before or after any of its calls, an apply leaves the file as it
// was, patched with its undo patch, or a journal that one more apply finishes.
TEST_F(InPlaceFaultsTest, KilledAtEveryCallLeavesAStateOneMoreApplyFinishes)
{
    Reset();
    PatchFit fit;
    Problem problem;
    ArmFaults(nullptr);
    ASSERT_EQ(ApplyWithUndo(&fit, &problem), 1);
    int calls = CallsMade("*");
    DisarmFaults();
    ASSERT_GT(calls, 15);
    int seen[3] = {};
    for (FaultMode mode : {FAULT_CRASH, FAULT_CRASH_AFTER}) {
        for (int call = 1; call <= calls; call++) {
            Reset();
            Fault crash[] = {{"*", call, 0, 0, mode}, {}};
            EXPECT_EXIT((ArmFaults(crash), ApplyWithUndo(&fit, &problem)), ::testing::ExitedWithCode(CRASHED), "")
                << call;
            std::string state = State(), why = std::to_string(call) + (mode == FAULT_CRASH ? " before" : " after");
            EXPECT_TRUE(state == "original" || state == "interrupted" || state == "patched") << why << ": " << state;
            seen[state == "original" ? 0 : state == "interrupted" ? 1 : 2]++;
            ApplyAgain(why, state);
        }
    }
    EXPECT_TRUE(seen[0] && seen[1] && seen[2]);
}

// A journal that does not fit the file is kept, and the file refused, naming it.
TEST_F(InPlaceFaultsTest, JournalThatDoesNotFitIsRefusedAndKept)
{
    Reset();
    PatchFit fit;
    Problem problem;
    Fault faults[] = {{"pwrite", 1, 0, EIO}, {}};
    ArmFaults(faults);
    ASSERT_EQ(ApplyWithUndo(&fit, &problem), 0);
    DisarmFaults();
    const std::string other = "game.exe: the journal ./.game.exe.morvex-journal holds an unfinished apply of p ";
    WriteBytes("game.exe", std::string("\x00\x11\x22\x44", 4));
    EXPECT_EQ(ApplyWithUndo(&fit, &problem), 0);
    EXPECT_EQ(Line(problem), other + "that the bytes of this file do not fit");
    fs::remove("game.exe");
    WriteBytes("game.exe", Original);
    PatchContents patch;
    EXPECT_EQ(CheckPatch("p", "game.exe", 0, 0, 0, &patch, &fit, &problem), 0);
    EXPECT_EQ(Line(problem), other + "to another file");
    EXPECT_TRUE(fs::exists(Journal));
    // One cut short was never used: it goes, and the apply goes on.
    fs::resize_file(Journal, 40);
    EXPECT_EQ(ApplyWithUndo(&fit, &problem), 1);
    EXPECT_FALSE(fs::exists(Journal));
}

// In place, every name of the file sees the patch, and what the file
// carries stays: here 64 KiB of extended attribute names, as many as the
// system lists, on tmpfs, which holds that many (ext4 holds one block).
TEST_F(InPlaceFaultsTest, FileKeepsItsInodeAttributesAndLinks)
{
    const std::string shm = "/dev/shm/morvex-" + std::to_string(getpid()), file = shm + "/game.exe";
    fs::create_directories(shm);
    WriteBytes(shm + "/p", Patch2);
    WriteBytes(file, Original);
    ASSERT_EQ(link(file.c_str(), (shm + "/g2").c_str()), 0);
    std::string names;
    for (int i = 0; names.size() < (64 << 10) - 27; i++)
        names += "user.a" + std::to_string(100000 + i) + std::string(14, 'x') + '\0';
    for (size_t at = 0; at < names.size(); at += strlen(names.c_str() + at) + 1)
        if (setxattr(file.c_str(), names.c_str() + at, "v", 1, 0) != 0) {
            fs::remove_all(shm);
            GTEST_SKIP() << "no file system here holds 64 KiB of attribute names";
        }
    struct stat before, after;
    ASSERT_EQ(stat(file.c_str(), &before), 0);
    PatchFit fit;
    Problem problem;
    EXPECT_EQ(ApplyPatch((shm + "/p").c_str(), file.c_str(), nullptr, nullptr, 0, 0, 0, nullptr, &fit, &problem), 1);
    ASSERT_EQ(stat(file.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(ReadBytes(shm + "/g2"), Patched);
    EXPECT_EQ(listxattr(file.c_str(), nullptr, 0), static_cast<ssize_t>(names.size()));
    fs::remove_all(shm);
}

static Progress Following;

static void PressCancel()
{
    Following.cancel = 1;
}

// Cancel before the first write to the file leaves everything as it was;
// once the file is being written the apply finishes.
TEST_F(InPlaceFaultsTest, CancelIsHeardUntilTheFirstWrite)
{
    const struct {
        Fault fault;
        int applied;
        std::string file, undo;
    } rows[] = {
        {{"write", 1, 0, 0, FAULT_ACT, nullptr, PressCancel}, 0, Original, "old"},
        {{"fsync", 1, 0, 0, FAULT_ACT, nullptr, PressCancel}, 0, Original, "old"},
        {{"pwrite", 1, 0, 0, FAULT_ACT, nullptr, PressCancel}, 1, Patched, Undo},
    };
    for (const auto& row : rows) {
        Reset();
        Following.report = nullptr;
        Following.cancel = 0;
        PatchFit fit;
        Problem problem;
        Fault faults[] = {row.fault, {}};
        ArmFaults(faults);
        EXPECT_EQ(ApplyPatch("p", "game.exe", nullptr, "u", 0, 0, 0, &Following, &fit, &problem), row.applied);
        DisarmFaults();
        EXPECT_EQ(FaultsHit(), 1);
        EXPECT_EQ(ReadBytes("game.exe") + ReadBytes("u"), row.file + row.undo) << row.fault.call;
        EXPECT_EQ(Listing(), (Messages{"g2", "game.exe", "p", "u"})) << row.fault.call;
    }
}

static void MoveOverGame()
{
    WriteBytes("n", "new");
    fs::rename("n", "game.exe");
}

// A file moved over the one being patched stays whole: the apply says the
// file changed and leaves no journal and no undo patch.
TEST_F(InPlaceFaultsTest, FileMovedOverDuringTheApplyStaysWhole)
{
    for (int flush : {1, 2}) {
        Reset();
        PatchFit fit;
        Problem problem;
        Fault faults[] = {{"fdatasync", flush, 0, 0, FAULT_ACT, nullptr, MoveOverGame}, {}};
        ArmFaults(faults);
        EXPECT_EQ(ApplyWithUndo(&fit, &problem), 0);
        DisarmFaults();
        EXPECT_EQ(Line(problem), "game.exe: changed while Morvex was working") << flush;
        EXPECT_EQ(ReadBytes("game.exe") + ReadBytes("u"), "newold") << flush;
        EXPECT_EQ(Listing(), (Messages{"g2", "game.exe", "p", "u"})) << flush;
    }
}

// A lock the system cannot give (ENOLCK over NFS) is told, and the apply goes on.
TEST_F(InPlaceFaultsTest, NoLockIsToldAndTheApplyGoesOn)
{
    Reset();
    PatchFit fit;
    Problem problem;
    Fault faults[] = {{"flock", 1, -1, ENOLCK}, {}};
    ArmFaults(faults);
    EXPECT_EQ(ApplyWithUndo(&fit, &problem), 1);
    DisarmFaults();
    EXPECT_EQ(fit.unlocked, 1);
    EXPECT_EQ(ReadBytes("game.exe") + ReadBytes("u"), Patched + Undo);
}
