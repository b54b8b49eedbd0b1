#ifndef MORVEX_SYSTEM_FAULTS_H
#define MORVEX_SYSTEM_FAULTS_H

// Breaking the system's calls from inside a test, through the engine's table
// of them (system_calls.h): fail the Nth call of a kind with a chosen error,
// run an action just before it (another writer, say), or end the process
// there as a kill would, and count the calls of each kind.
//
// A crash ends the process at once, without cleanup: run it as a death test,
// which on POSIX forks a child for it and on Windows runs the test again as a
// child process, where only that statement is run to the end:
//     EXPECT_EXIT((ArmFaults(faults), Work()), ::testing::ExitedWithCode(CRASHED), "");
// The child ends with _exit (POSIX) or TerminateProcess (Windows) at the call,
// so its files are left as a killed process leaves them.

#include "system_calls.h"
#include "test_files.h"

#include <filesystem>
#include <string>

enum FaultMode {
    FAULT_FAIL,        // the call fails with `error` and does nothing
    FAULT_ACT,         // `action` runs, then the call
    FAULT_CRASH,       // the process ends just before the call
    FAULT_CRASH_AFTER, // the call is made, then the process ends
};

struct Fault {
    const char* call = nullptr; // an entry of SystemCalls by name ("renameat", "FlushFileBuffers"), or "*" for any
    int first = 1;     // the first call hit, counting from 1 the calls this fault matches
    int last = 0;      // the last call hit: 0 for `first` alone, -1 for every one from `first` on
    int error = 0;     // FAULT_FAIL: the errno (Windows: GetLastError) the call leaves
    FaultMode mode = FAULT_FAIL;
    const char* name = nullptr; // when not NULL, only calls with a path argument whose last component is `name`
    void (*action)() = nullptr; // FAULT_ACT
};

enum { CRASHED = 86, MAX_FAULTS = 4 };

// Puts gates into every entry of `System`, which count every call and apply
// `faults` (up to MAX_FAULTS, ended by one whose `call` is NULL, or NULL for
// none: only counting). Counts start again at zero.
void ArmFaults(const Fault* faults);

// Puts the system's own functions back.
void DisarmFaults();

// How many calls of a kind ("*": of every kind) were made since armed.
int CallsMade(const char* call);

// How many calls the faults hit since armed: a row whose fault hit nothing
// shows nothing.
int FaultsHit();

// A two-record patch for game.exe with the comment "hi", and the file
// before and after it.
extern const std::string Patch2, Original, Patched;

// Runs in its own folder, so that paths and the names of kept files read as
// a user in that folder would see them; the system's own calls are put back
// afterwards.
class FaultsTest : public TempFolderTest {
protected:
    void SetUp() override;
    void TearDown() override;
    std::filesystem::path before;
};

#endif
