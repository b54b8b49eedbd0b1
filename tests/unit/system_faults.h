#ifndef MORVEX_SYSTEM_FAULTS_H
#define MORVEX_SYSTEM_FAULTS_H

// Breaking the system's calls from inside a test, through the engine's table
// of them (system_calls.h): fail the Nth call of a kind with a chosen error,
// run an action just before it (another writer, say), or end the process
// there as a kill would. A kill is run as a death test, whose child (on
// Windows the test run again in a process of its own) ends at the call with
// _exit or TerminateProcess, leaving its files as a killed process leaves them:
//     EXPECT_EXIT((ArmFaults(faults), Work()), ::testing::ExitedWithCode(CRASHED), "");

#include "patch_apply.h"
#include "system_calls.h"
#include "test_files.h"

#include <filesystem>
#include <string>

enum FaultMode {
    FAULT_FAIL,  // the call fails with `error` and does nothing
    FAULT_ACT,   // `action` runs, then the call
    FAULT_CRASH, // the process ends just before the call
};

struct Fault {
    const char* call = nullptr; // an entry of SystemCalls by name ("renameat", "FlushFileBuffers"), or "*" for any
    int first = 1;     // the first call hit, counting from 1 the calls this fault matches; 0 hits none
    int last = 0;      // the last call hit: 0 for `first` alone, -1 for every one from `first` on
    int error = 0;     // FAULT_FAIL: the errno (Windows: GetLastError) the call leaves
    FaultMode mode = FAULT_FAIL;
    const char* name = nullptr; // when not NULL, only calls with a path argument whose last component is `name`
    void (*action)() = nullptr; // FAULT_ACT
};

enum { CRASHED = 86, MAX_FAULTS = 4 };

// Puts gates into every entry of `System` that apply `faults` (up to
// MAX_FAULTS, ended by one whose `call` is NULL, or NULL for none); counts
// start again at zero. DisarmFaults puts the system's own functions back.
void ArmFaults(const Fault* faults);
void DisarmFaults();

// How many calls the first fault matched since armed (with `first` 0, a
// count of the calls of a kind), and how many calls the faults hit: a row
// whose fault hit nothing shows nothing.
int CallsMatched();
int FaultsHit();

// A two-record patch p for game.exe with the comment "hi", the file before
// and after it, its undo patch and the journal of an apply in place.
extern const std::string Patch2, Original, Patched, Undo;
extern const char Journal[];

// A text with the random characters of temporary names as X: .morvex-X
// (POSIX), mvxX.tmp (Windows); the line the user is shown, so steadied, with
// the current folder as ".".
std::string Steady(std::string text);
std::string Line(const Problem& problem);

// Runs in its own folder, so that paths and the names of kept files read as
// a user in that folder would see them; the system's own calls are put back
// afterwards.
class FaultsTest : public TempFolderTest {
protected:
    void SetUp() override;
    void TearDown() override;
    // p, game.exe with a second name g2 (a copy where there are no hard
    // links), an extended attribute and mode 640, and an old undo patch u.
    void Reset();
    // What check says: "original", "interrupted" or "patched", each with
    // the undo patch as it stands; anything else is no state of the three.
    std::string State();
    // One more apply in place, as a user would give it again, reaches the
    // file patched, its exact undo patch, and nothing else beside them.
    void ApplyAgain(const std::string& why);
    std::filesystem::path before;
};

#endif
