#ifndef MORVEX_PATCH_VERDICT_H
#define MORVEX_PATCH_VERDICT_H

#include "patch_apply.h"

#include <cstddef>

// How a patch meets a file by its path, and the undo patch an apply writes.

// Judges how the loaded patch meets the file, whatever the file's name and
// however much of the patch it already holds, opening the file once. Returns
// 1 with `fit` filled (its state may be FIT_PAST_END), or 0 with the problem.
// `progress` (may be NULL) follows the reading.
int SurveyFit(const PatchContents& patch, const char* filePath, Progress* progress, PatchFit* fit, Problem* problem);

// The undo patch's path: the patch's name with "-undo" before its extension,
// in the folder of `filePath`. Returns 0 when it does not fit in `size`.
int UndoPatchPath(const char* patchPath, const char* filePath, char* out, size_t size);

// The comment of an undo patch, "undoes " and the patch's file name, in
// `codePage`, in `out` (MAX_COMMENT_LENGTH + 1 bytes); `lost` as ToPatchText's.
void UndoComment(const char* patchPath, unsigned codePage, char* out, int* lost);

// Lays out in `out` (MAX_PATCH_SIZE bytes) the patch that puts back the
// bytes `patch` changes, `oldBytes` holding the file's bytes at its
// positions, with the comment "undoes NAME" after the patch's file name.
// Returns its length.
size_t EncodeUndoPatch(const PatchContents& patch, const unsigned char* oldBytes, const char* patchPath, unsigned char* out);

#endif
