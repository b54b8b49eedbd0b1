#ifndef MORVEX_REPLACE_POSIX_H
#define MORVEX_REPLACE_POSIX_H

// Shared by the POSIX files of the replace primitive: resolving the
// destination, the temporary file and signals, begin and commit.
#include "file_replace.h"
#include "system_calls.h"

#include <sys/stat.h>

// What `status` says of a file, in the engine's terms.
void StatInfo(const struct stat& status, FileInfo* info);

// Follows links from `path` as an open would, holding the folder of the
// final name in `r->folder` (its path in `r->where`) and the name in
// `r->name`, with what is there in `status` and `r->exists`.
int ResolveDestination(const char* path, Replacement* r, struct stat* status, Problem* problem);

// Creates the temporary file in r's folder and returns its descriptor, or -1.
int CreateTemp(Replacement* r, Problem* problem);

// Gives an unnamed temporary file a name in its folder: `name`, failing
// where something is there, or when NULL a fresh name, kept in `r->temp`.
// Called with interrupts held.
int LinkTemp(Replacement* r, const char* name, Problem* problem);

// Closes the temporary file and removes it, or its name if it has one.
void DropTemp(Replacement* r);

#endif
