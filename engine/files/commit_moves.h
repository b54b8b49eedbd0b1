#ifndef MORVEX_COMMIT_MOVES_H
#define MORVEX_COMMIT_MOVES_H

// The steps CommitReplace (commit_replace.cpp) is made of, one set per
// system (commit_posix.cpp, commit_win32.cpp).
#include "file_replace.h"

// How a file was moved into place, for taking the move back or removing
// the old contents it kept.
struct Moved {
    int how;                     // POSIX: new, swapped, or linked to `backup`
    char backup[TEMP_PATH_SIZE]; // where the replaced file's old contents wait, where they do
};

// Flushes the temporary file to disk with its final attributes; a write
// that failed before fails it too, with its reason.
int FlushTemp(Replacement* r, Problem* problem);

// Whether the name still names what was read or looked at, untouched, or
// still nothing; else `changed` is set.
int StillThere(Replacement* r, Problem* problem);

// Readies a temporary file to be moved (POSIX gives one that replaces
// another a temporary name).
int ReadyToMove(Replacement* r, Problem* problem);

// Moves `r` into place; with `keepOld`, or where the system keeps them
// anyway, the replaced file's old contents stay, so that the move can be
// taken back.
int MoveIntoPlace(Replacement* r, int keepOld, Moved* moved, Problem* problem);

// Takes back a move made by MoveIntoPlace with `keepOld`. Where that fails,
// `r` stays in place (`placed` set) and its old contents stay, kept.
void TakeBack(Replacement* r, const Moved& moved);

// Removes the old contents a move kept; where that fails they are kept,
// and the reason noted.
void RemoveOld(Replacement* r, const Moved& moved, Problem* problem);

// Ends the commit of `r`, its name made durable where it is in place
// (`inPlace`): the temporary file, if still there, goes. Returns 0 with the
// reason noted when that flush fails.
int EndCommit(Replacement* r, int inPlace, Problem* problem);

#endif
