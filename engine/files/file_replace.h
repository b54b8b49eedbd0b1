#ifndef MORVEX_FILE_REPLACE_H
#define MORVEX_FILE_REPLACE_H

#include "platform.h"
#include "problem.h"

// The one way the engine writes a file: begin resolves the name once (links
// followed as the kernel would for an open), holds its folder, looks at what
// is there and creates an empty temporary file beside it (on Linux without a
// name, so that nothing is left whatever ends the process); the caller
// writes through `file`; commit flushes it to disk and moves it into place,
// or abandon removes it. Until then an interrupt removes it too.
struct Replacement {
    FILE* file;              // the temporary file, open for binary writing
    int exists;              // something was at the name when begun
    FileInfo info;           // what was there, when it existed: commit finds it untouched or refuses
    long otherNames;         // other hard links to it, which keep its old contents
    int changed;             // begin or commit found the name no longer names what was read or looked at
    int placed;              // a failed commit left this one in place all the same
    int unflushed;           // a commit put it in place, but its folder's flush failed
    int folder;              // POSIX: the folder, held open
    int slot;                // the interrupt cleanup's slot for a named temporary file
    unsigned mode;           // the permission bits (Windows: attributes) the result gets
    char name[TEMP_PATH_SIZE]; // the final name (POSIX: in `folder`; Windows: a full path)
    char temp[TEMP_PATH_SIZE]; // the temporary file's name, likewise; POSIX: empty while it has none
    char where[TEMP_PATH_SIZE]; // POSIX: the folder's path, for naming what is kept in it
    char kept[TEMP_PATH_SIZE + 32]; // where the replaced file's old contents were left, if anywhere
};

// Begins replacing the file at `path`. `read`, when not NULL, is that very
// file, open, as OpenInputFile or OpenFileToReplace measured it in `readInfo`
// before it was read (Windows looks at a held file through it): commit
// compares what the name leads to with the file as it was read, not with
// what begin sees, and begin refuses a name that leads to nothing now.
// Returns 0 with the reason in `problem` (and `changed` set in that case)
// when the name cannot take a file: a folder, a read-only file, a link
// another user left in a shared folder, a link to a file no name leads to,
// a folder that cannot take a new file, or a failure to look.
int BeginReplace(const char* path, FILE* read, const FileInfo* readInfo, Replacement* replacement, Problem* problem);

// Moves `first` and, when not NULL, `second` into place as one: both take
// their place or neither does. Before the move each name must still name
// what it named (the file untouched: same file, size and times), or still
// nothing. Returns 0 with the failed one in `*failed` and the reason in
// `problem` (`changed` set when a name no longer names what it did); every
// temporary file is gone either way, but the last copy of a file's old
// contents is never removed: where `first` could not be put back after
// `second` failed, `first->placed` is set and its old contents stay under
// `first->kept`. Where both took their place but a folder's flush failed,
// that one is `*failed`, with `unflushed` set. After a success `kept` is
// set, and the reason in `problem`, where old contents that should have
// gone could not be removed.
int CommitReplace(Replacement* first, Replacement* second, Replacement** failed, Problem* problem);

// What a file is told that a commit left `unflushed`: a new one, and one patched.
extern const char WrittenUnflushed[], PatchedUnflushed[];

// Removes the temporary file; the destination stays as it was.
void AbandonReplace(Replacement* replacement);

// Whether two begun replacements name one place, whether or not a file is
// there yet: the same folder and the same final name once links are followed
// (on Windows without regard to case and to the trailing dots and spaces it
// drops). When that cannot be told, they are taken as the same.
int SamePlace(const Replacement* a, const Replacement* b);

#endif
