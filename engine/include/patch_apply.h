#ifndef MORVEX_PATCH_APPLY_H
#define MORVEX_PATCH_APPLY_H

#include "patch_core.h"
#include "patch_reader.h"
#include "problem.h"
#include "progress.h"

// Each operation that touches files returns 1 on success, or 0 with one
// problem that names the file at fault (see problem.h).

// Reads the patch at `patchPath` into `space` and validates it whole, its
// text taken to be in `codePage` (see patch_text.h). A file larger than any
// patch is refused without being read. Every operation works in what its
// caller passes or in memory of its own, so any two may run at once.
int LoadPatch(const char* patchPath, unsigned codePage, PatchSpace* space, PatchContents* patch, Problem* problem);

// Loads the patch and judges how it meets the file at `filePath`, reading
// only the bytes at the patch's positions.
int CheckPatch(const char* patchPath, const char* filePath, unsigned codePage, int anyName, int force,
               PatchSpace* space, PatchContents* patch, PatchFit* fit, Problem* problem);

// Checks, then patches the file at `filePath` where it lies, or writes the
// patched copy to `outputPath` when it is not NULL. An already applied file
// is not rewritten (an output gets a copy). With `undoPath`, also writes a
// patch that turns the result back into the file as it was. In place, a
// journal is written and flushed beside the file before its first byte
// changes, and removed once the file and the undo patch are flushed; a
// journal an earlier apply left is finished first. A file a program runs
// from is patched through a copy, as an output is: every file written in
// full beside its destination first. A failure or a cancel before the
// first write leaves every file as it was. `progress` (may be NULL)
// follows the work.
int ApplyPatch(const char* patchPath, const char* filePath, const char* outputPath, const char* undoPath,
               unsigned codePage, int anyName, int force, Progress* progress, PatchFit* fit, Problem* problem);

// Whether an apply could write the file at `filePath` in place: begins its
// replacement as the apply would, then abandons it, leaving nothing. Returns
// 0 with the problem for a read-only file, one another program keeps others
// from writing, or a folder that takes no new file.
int CheckWritable(const char* filePath, Problem* problem);

#endif
