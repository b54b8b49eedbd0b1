#ifndef MORVEX_PATCH_BUILDER_H
#define MORVEX_PATCH_BUILDER_H

// Both return 1 on success and 0 on failure, after showing their own warning
// for `owner` (see warning.h). Run CheckSameSize before BuildPatch.

// Opens both inputs and checks that they have the same length.
int CheckSameSize(void* owner, const char* originalPath, const char* modifiedPath);

// Compares the two inputs and writes the patch file. The patch is written in
// full beside `patchPath` and only then moved over it, so a failure leaves
// whatever was at `patchPath` untouched. `comment` may be empty; at most its
// first 255 bytes are written.
int BuildPatch(void* owner, const char* originalPath, const char* modifiedPath,
               const char* patchPath, const char* comment);

#endif
