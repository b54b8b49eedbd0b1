#ifndef MORVEX_APPLY_STATE_H
#define MORVEX_APPLY_STATE_H

#include "patch_verdict.h"
#include "win_shared.h"

// What the last refresh found, for Apply to act on.
extern char ChosenPatch[TEXT_BUFFER_SIZE];
extern char ChosenFile[TEXT_BUFFER_SIZE];
extern PatchContents Patch;
extern PatchFit Fit;

// The problem as one line naming the file, in a warning box.
void ShowProblem(HWND window, const Problem& problem);

#endif
