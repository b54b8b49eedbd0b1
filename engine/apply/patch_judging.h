#ifndef MORVEX_PATCH_JUDGING_H
#define MORVEX_PATCH_JUDGING_H

// Shared by the check and the writing of results inside the engine; front
// ends use patch_apply.h.
#include "patch_apply.h"
#include "platform.h"

#include <cstdio>

// Whether the check refuses the fit (a record past the end, a name mismatch
// unless `anyName`, a partly applied file unless `force`); if so, why in
// `refusal` (REFUSAL_SIZE bytes).
int FitRefused(const PatchContents& patch, const PatchFit& fit, int anyName, int force, char* refusal);

// Reads and validates the patch; `info` says what the patch file is.
int LoadPatchFile(const char* patchPath, unsigned codePage, PatchSpace* space, PatchContents* patch, FileInfo* info,
                  Problem* problem);

// Opens the file (with `toReplace`, held against a second Morvex: see
// OpenFileToReplace) and judges the patch against it, its bytes at the
// patch's positions read into `oldBytes` (MAX_PATCH_RECORDS bytes); the
// file stays open for the caller on success.
FILE* OpenAndJudge(const char* filePath, const PatchContents& patch, unsigned char* oldBytes, int anyName, int force,
                   int toReplace, PatchFit* fit, FileInfo* info, Problem* problem);

// Judges the patch against a file already open, as OpenAndJudge does.
int JudgeOpenFile(FILE* file, const char* filePath, const FileInfo& info, const PatchContents& patch,
                  unsigned char* oldBytes, int anyName, int force, PatchFit* fit, Problem* problem);

// Looks for the journal of an interrupted apply beside the open file,
// writing nothing: sets `fit->journal` to JOURNAL_INTERRUPTED, with its
// patch, where one fits the file; refuses the file where one does not.
int LookForJournal(FILE* file, const char* filePath, const FileInfo& info, PatchFit* fit, Problem* problem);

// Begins the undo patch's replacement, unless it would land on the patch,
// on the file or its result `dest`, or there is nothing to undo.
struct Replacement;
int BeginUndo(const char* undoPath, Replacement* undo, const Replacement& dest, const FileInfo& patchInfo,
              const FileInfo& fileInfo, const PatchFit& fit, Problem* problem);

#endif
