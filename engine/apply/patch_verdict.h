#ifndef MORVEX_PATCH_VERDICT_H
#define MORVEX_PATCH_VERDICT_H

#include "patch_apply.h"

#include <cstddef>

// The texts a front end that applies patches shows: what a patch is, how it
// meets a file, the questions before applying and the result.

enum { VERDICT_SIZE = 4096 };

// Judges how the loaded patch meets the file, whatever the file's name and
// however much of the patch it already holds, opening the file once. Returns
// 1 with `fit` filled (its state may be FIT_PAST_END), or 0 with the problem.
// `progress` (may be NULL) follows the reading.
int SurveyFit(const PatchContents& patch, const char* filePath, Progress* progress, PatchFit* fit, Problem* problem);

// The lines of the information box, separated by CR LF, in `out`
// (VERDICT_SIZE bytes). With `patch` NULL, only "Not a patch: " and
// `patchProblem`. Otherwise the target, records and comment; then, when a
// file is named, the verdict from `fit`, or `fileProblem` when `fit` is NULL;
// then a warning when the file's name does not give the target name.
void DescribeFit(const PatchContents* patch, const char* patchProblem, const char* filePath, const PatchFit* fit,
                 const char* fileProblem, char* out);

// The line of the information box that says how the patch meets the file
// (FIT_PAST_END included).
void FitLine(const PatchContents& patch, const PatchFit& fit, char* out, size_t size);

// Whether the names differ; if so, the question that asks to apply anyway.
int NameQuestion(const PatchContents& patch, const char* filePath, char* out, size_t size);

// The question for a partly applied file.
void PartlyQuestion(const PatchContents& patch, const PatchFit& fit, char* out, size_t size);

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

// The question before an existing undo patch is replaced.
void ReplaceUndoQuestion(const char* undoPath, char* out, size_t size);

// What a successful apply says; `undoPath` NULL when no undo patch was kept.
void AppliedText(const char* filePath, const char* undoPath, char* out, size_t size);

#endif
