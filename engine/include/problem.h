#ifndef MORVEX_PROBLEM_H
#define MORVEX_PROBLEM_H

#include <cstddef>

enum {
    PROBLEM_TEXT_SIZE = 1280, // room for a path beside our own words
    PROBLEM_PATH_SIZE = 1024  // a path the problem keeps itself
};

// What kind of failure a problem is, set where it is found: front ends
// decide by it, never by the words.
enum ProblemKind {
    PROBLEM_SYSTEM,      // a call failed: `error` or `reason` says why
    PROBLEM_REFUSED,     // an input refused on our own grounds
    PROBLEM_NOT_A_PATCH, // a file read whole that is no patch
    PROBLEM_CHANGED,     // a file that did not hold still while Morvex worked
    PROBLEM_CANCELLED,   // the user stopped the work
    PROBLEM_MAKE_MESSAGE // one of the make dialog's own messages, shown as it stands
};

// What an engine operation that fails reports: the file at fault, what went
// wrong, and the system's error taken at the failing call (as cmp passes
// errno to error() where the read failed), never read later from a global.
// Each front end words it: a line on stderr, a message box, a line in the page.
struct Problem {
    int kind;                     // a ProblemKind
    const char* path;             // the file at fault, as the caller spelled it; NULL when none is
    char what[PROBLEM_TEXT_SIZE]; // what went wrong, in the engine's words
    int error;                    // errno or GetLastError() at the failing call; 0 when none
    const char* reason;           // our own words for why, where the system has none; else NULL
    char kept[PROBLEM_PATH_SIZE]; // `path`, where it named a file the work that failed had made up
};

// What a file that did not hold still while Morvex read or replaced it is told.
extern const char ChangedWhileWorking[];

// Takes the reason of the call that just failed: the system's error as it
// stands (call it before anything else can change it). Returns 0.
int NoteSystemError(Problem* problem);

// Takes `error` (an errno or GetLastError() value) as the reason. Returns 0.
int NoteError(Problem* problem, int error);

// Takes our own words as the reason, where the system gave no error. Returns 0.
int NoteReason(Problem* problem, const char* reason);

// Says which file and what went wrong, keeping the reason noted: a failure
// of the system's. Returns 0.
int Blame(Problem* problem, const char* path, const char* what);

// Says which file and what went wrong, a failure of `kind` with no reason
// of the system's. Returns 0.
int Fail(Problem* problem, int kind, const char* path, const char* what);

// Fail with PROBLEM_REFUSED: the input is refused. Returns 0.
int Refuse(Problem* problem, const char* path, const char* what);

// Fail with PROBLEM_CHANGED: the file changed while Morvex was working. Returns 0.
int RefuseChanged(Problem* problem, const char* path);

// Where `path` lies in the `size` bytes at `work`, which the failed call
// is about to give back, keeps a copy of it for the front end.
void KeepProblemPath(Problem* problem, const void* work, size_t size);

// The reason in words (the system's own for an error code), or NULL.
const char* ProblemReason(const Problem& problem, char* out, size_t size);

// The problem as one line: "PATH: WHAT: REASON", PATH and REASON where there are any.
void ProblemLine(const Problem& problem, char* out, size_t size);

#endif
