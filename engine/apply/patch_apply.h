#ifndef MORVEX_PATCH_APPLY_H
#define MORVEX_PATCH_APPLY_H

#include "patch_reader.h"
#include "problem.h"
#include "progress.h"

// Each operation that touches files returns 1 on success, or 0 with one
// problem that names the file at fault (see problem.h).

// Reads the patch at `patchPath` and validates it whole. A file larger than
// any patch is refused without being read.
int LoadPatch(const char* patchPath, PatchContents* patch, Problem* problem);

enum { FIT_NOT_APPLIED, FIT_APPLIED, FIT_PARTLY_APPLIED };

struct PatchFit {
    int state;
    unsigned applied;   // positions that already hold their new value
    long long fileSize;
    TargetName fileName; // the target name that the file's own path gives
    long otherNames;     // after an apply: other hard links to the replaced file, which keep the old contents
    int noted;           // after an apply: it succeeded, but its problem holds a note (old contents left behind)
};

// Whether a record lies past the end of a file of `size` bytes.
int PastTheEnd(const PatchContents& patch, long long size);

// How the patch meets a file, from the file's bytes at the patch's positions
// (`oldBytes[i]` at patch.positions[i]; not read when a position is past the
// end). Returns 1, or 0 with the reason in `refusal` (REFUSAL_SIZE bytes): a
// record past the end, a name mismatch unless `anyName`, a partly applied
// file unless `force`.
int JudgeFit(const PatchContents& patch, const unsigned char* oldBytes, int anyName, int force,
             PatchFit* fit, char* refusal);

// Loads the patch and judges how it meets the file at `filePath`, reading
// only the bytes at the patch's positions.
int CheckPatch(const char* patchPath, const char* filePath, int anyName, int force, PatchContents* patch,
               PatchFit* fit, Problem* problem);

// Checks, then writes the patched file over `filePath`, or to `outputPath`
// when it is not NULL. An already applied file is not rewritten (an output
// gets a copy). With `undoPath`, also writes a patch that turns the result
// back into the file as it was. Every file is written in full beside its
// destination first; a failure or a cancel leaves all of them as they were.
// `progress` (may be NULL) follows the copy.
int ApplyPatch(const char* patchPath, const char* filePath, const char* outputPath, const char* undoPath, int anyName,
               int force, Progress* progress, PatchFit* fit, Problem* problem);

// Whether an apply could write the file at `filePath` in place: begins its
// replacement as the apply would, then abandons it, leaving nothing. Returns
// 0 with the problem for a read-only file, one another program keeps others
// from writing, or a folder that takes no new file.
int CheckWritable(const char* filePath, Problem* problem);

#endif
