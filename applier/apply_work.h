#ifndef MORVEX_APPLY_WORK_H
#define MORVEX_APPLY_WORK_H

#include "apply_texts.h"
#include "patch_verdict.h"
#include "win_shared.h"

// The dialog's reading and writing run on a thread of their own, one piece
// of work at a time, so that the window keeps answering. The window fills
// Work, starts it, and reads its results only once it is done.

enum {
    WM_WORK_PROGRESS = WM_APP + 1, // wParam: thousandths done
    WM_WORK_DONE                   // wParam: the work's number, for FinishWork
};

enum { WORK_SURVEY, WORK_APPLY };

struct Work {
    int kind;
    char patchPath[TEXT_BUFFER_SIZE];
    char filePath[TEXT_BUFFER_SIZE]; // a survey may find it beside the patch
    char undoPath[TEXT_BUFFER_SIZE * 2]; // apply: "" for none
    int look; // survey: look beside the patch for the file

    int loaded;  // survey: the patch was read
    int matches; // survey, after looking: how many files beside the patch could be the one
    int judged;  // survey: `fit` tells how the patch meets the file
    int writable; // survey, when judged and the file is to change: an apply could write it
    int applied; // apply: done
    PatchSpace patchSpace;
    PatchContents patch;
    PatchFit fit;
    Problem problem; // what failed, when something did
    Progress progress;
    int thousandths; // the last progress posted
};

extern Work Job;

// Starts Job on its thread, for the window to follow.
void StartWork(HWND window);

int Working();

// Asks the work to stop at its next step.
void CancelWork();

// Takes the end of the work that WM_WORK_DONE announces; 0 for the end of
// work already taken by StopWork.
int FinishWork(WPARAM number);

// Cancels the work and waits for it to stop.
void StopWork();

#endif
