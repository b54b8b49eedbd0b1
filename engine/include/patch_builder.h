#ifndef MORVEX_PATCH_BUILDER_H
#define MORVEX_PATCH_BUILDER_H

#include "problem.h"

#include <cstddef>

// Opens both inputs and checks that they have the same length, below 2 GiB.
// Returns 1, or 0 with the problem (the dialog's own message as `what`).
int CompareSizes(const char* originalPath, const char* modifiedPath, Problem* problem);

// What a patch's text lost to its code page: a '?' stored for a character
// it lacks in the target name, in the comment.
enum { LOST_NAME = 1, LOST_COMMENT = 2 };

// Compares the two inputs and writes the patch file, its text (the target
// name, the comment) in `codePage` (see patch_text.h). The patch is written
// in full beside `patchPath` and only then moved over it, so a failure leaves
// whatever was at `patchPath` untouched. `comment` may be empty; at most its
// first 255 bytes are written. Returns 1 with `*lost` (when `lost` is not
// NULL) set to the LOST_ bits of what lost characters, or 0 with the problem.
int MakePatchFile(const char* originalPath, const char* modifiedPath, const char* patchPath, const char* comment,
                  unsigned codePage, int* lost, Problem* problem);

// The LOST_ bits MakePatchFile would set for these texts, told before the
// patch is named.
int LostCharacters(const char* originalPath, const char* comment, unsigned codePage);

// The warning for `lost` (LOST_ bits, not 0) in every front end's words:
// "the comment holds characters code page 1252 cannot store; they are
// written as '?'", the default code page (0) by its number.
void LostWarning(int lost, unsigned codePage, char* out, size_t size);

// The two as the dialog runs them: 1 on success, or 0 after showing their
// own message for `owner` (see warning.h). Run CheckSameSize before BuildPatch.
// BuildPatch writes the patch's text in the default code page.
int CheckSameSize(void* owner, const char* originalPath, const char* modifiedPath);
int BuildPatch(void* owner, const char* originalPath, const char* modifiedPath, const char* patchPath,
               const char* comment);

#endif
