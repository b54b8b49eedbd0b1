#ifndef MORVEX_APPLY_STATE_H
#define MORVEX_APPLY_STATE_H

#include "patch_verdict.h"
#include "win_shared.h"

// What the last refresh found, for Apply to act on.
extern char ChosenPatch[TEXT_BUFFER_SIZE];
extern char ChosenFile[TEXT_BUFFER_SIZE];
extern PatchContents Patch;
extern PatchFit Fit;

// The engine's warnings go to WarningText while Collecting is set, as one
// line naming the file; otherwise to a message box that shows that line.
extern int Collecting;
extern char WarningText[TEXT_BUFFER_SIZE];
void TakeWarning(void* owner, const char* path, const char* text, const char* reason);

#endif
