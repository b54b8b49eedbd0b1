// An apply in place killed at each of its system calls leaves one of the
// three states, which check tells apart and one more apply finishes; a
// journal kept for another file is refused.
#include "patch_apply.h"
#include "system_faults.h"
#include "test_files.h"

#include <cerrno>
#include <filesystem>

static PatchSpace Space;

namespace fs = std::filesystem;

static int ApplyWithUndo(PatchFit* fit, Problem* problem)
{
    return ApplyPatch("p", "game.exe", nullptr, "u", 0, 0, 0, nullptr, fit, problem);
}

class InPlaceFaultsTest : public FaultsTest {};

TEST_F(InPlaceFaultsTest, KilledAtEveryCallLeavesAStateOneMoreApplyFinishes)
{
    Reset();
    PatchFit fit;
    Problem problem;
    const Fault count[] = {{"*", 0}, {}};
    ArmFaults(count);
    ASSERT_EQ(ApplyWithUndo(&fit, &problem), 1);
    int calls = CallsMatched();
    DisarmFaults();
    ASSERT_GT(calls, 15);
    int seen[3] = {};
    for (int call = 1; call <= calls; call++) {
        Reset();
        Fault crash[] = {{"*", call, 0, 0, FAULT_CRASH}, {}};
        EXPECT_EXIT((ArmFaults(crash), ApplyWithUndo(&fit, &problem)), ::testing::ExitedWithCode(CRASHED), "") << call;
        std::string state = State(), why = "killed at call " + std::to_string(call);
        EXPECT_TRUE(state == "original" || state == "interrupted" || state == "patched") << why << ": " << state;
        seen[state == "original" ? 0 : state == "interrupted" ? 1 : 2]++;
        ApplyAgain(why);
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
    EXPECT_EQ(CheckPatch("p", "game.exe", 0, 0, 0, &Space, &patch, &fit, &problem), 0);
    EXPECT_EQ(Line(problem), other + "to another file");
    EXPECT_TRUE(fs::exists(Journal));
    // One cut short was never used: it goes, and the apply goes on.
    fs::resize_file(Journal, 40);
    EXPECT_EQ(ApplyWithUndo(&fit, &problem), 1);
    EXPECT_FALSE(fs::exists(Journal));
}
