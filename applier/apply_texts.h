#ifndef MORVEX_APPLY_TEXTS_H
#define MORVEX_APPLY_TEXTS_H

#include "patch_apply.h"

#include <cstddef>

// The applier's words, which the page shows too: what a patch is, how it
// meets a file, the questions before applying and the result.

enum { VERDICT_SIZE = 4096 };

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

// The question before an existing undo patch is replaced.
void ReplaceUndoQuestion(const char* undoPath, char* out, size_t size);

// What a successful apply says; `undoPath` NULL when no undo patch was kept.
void AppliedText(const char* filePath, const char* undoPath, char* out, size_t size);

#endif
