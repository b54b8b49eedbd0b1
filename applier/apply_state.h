#ifndef MORVEX_APPLY_STATE_H
#define MORVEX_APPLY_STATE_H

#include "apply_work.h"

// What the parts of the apply dialog share, on the window's thread.

// The file field's text when the dialog found it beside the patch; "" when
// the file is the user's choice.
extern char FoundFile[TEXT_BUFFER_SIZE];

// Set while the dialog puts text in a field itself.
extern int Filling;

// Set while a message box of the dialog is up.
extern int Asking;

// Set when Apply was pressed: the apply follows the survey it starts.
extern int ApplyAsked;

// The problem as one line naming the file, in a warning box.
void ShowProblem(HWND window, const Problem& problem);

// A message box of the dialog, with the keystrokes typed before it left
// unread, so that none answers a box that was not yet there.
int Ask(HWND window, const char* text, UINT type);

// Judges the fields again, now or once the work running has ended.
void RequestSurvey(HWND window);

// After a survey: fills the box, and the file field with a file found.
// Returns whether applying makes sense.
int ShowVerdict(HWND window);

// Asks what needs asking before the surveyed file changes, then starts the apply.
void AskAndApply(HWND window);

// After an apply: keeps how it went, to be said once the box shows the file's new state.
void KeepApplied();

// Says how the apply kept went, once.
void ShowApplied(HWND window);

// Shows the work running (an apply at once, a survey once it takes a while)
// or that none is.
void ShowWorking(HWND window, int shown);

#endif
