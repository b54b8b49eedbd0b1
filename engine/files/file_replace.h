#ifndef MORVEX_FILE_REPLACE_H
#define MORVEX_FILE_REPLACE_H

#include "platform.h"
#include "problem.h"

// The one way the engine writes a file: begin resolves the name once (links
// followed as the kernel would for an open), holds its folder, looks at what
// is there and creates an empty temporary file beside it; the caller writes
// through `file`; commit flushes it to disk and moves it into place, or
// abandon removes it. Until then an interrupt removes it too.
struct Replacement {
    FILE* file;              // the temporary file, open for binary writing
    int exists;              // something was at the name when begun
    FileInfo info;           // what was there, when it existed
    long otherNames;         // other hard links to it, which keep its old contents
    int changed;             // commit found the name no longer names what was checked
    int folder;              // POSIX: the folder, held open
    int slot;                // the interrupt cleanup's slot for the temporary file
    unsigned mode;           // the permission bits (Windows: attributes) the result gets
    char name[TEMP_PATH_SIZE]; // the final name (POSIX: in `folder`; Windows: a full path)
    char temp[TEMP_PATH_SIZE]; // the temporary file's name, likewise
};

// Returns 0 with the reason in `problem` when the name cannot take a file: a
// folder, a read-only file, a link another user left in a shared folder, a
// folder that cannot take a new file, or a failure to look.
int BeginReplace(const char* path, Replacement* replacement, Problem* problem);

// Moves `first` and, when not NULL, `second` into place as one: both take
// their place or neither does. Returns 0 with the failed one in `*failed`
// and the reason in `problem` (or its `changed` set); every temporary file is
// gone either way.
int CommitReplace(Replacement* first, Replacement* second, Replacement** failed, Problem* problem);

// Removes the temporary file; the destination stays as it was.
void AbandonReplace(Replacement* replacement);

// Whether two begun replacements name one place, whether or not a file is
// there yet: the same folder and the same final name once links are followed
// (on Windows without regard to case and to the trailing dots and spaces it
// drops). When that cannot be told, they are taken as the same.
int SamePlace(const Replacement* a, const Replacement* b);

#endif
