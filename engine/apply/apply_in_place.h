#ifndef MORVEX_APPLY_IN_PLACE_H
#define MORVEX_APPLY_IN_PLACE_H

// Shared by the apply in place and the finishing of a journal an earlier
// apply left (journal_recovery.cpp).
#include "in_place.h"
#include "journal.h"
#include "patch_apply.h"

#include "file_replace.h"

enum { COPY_BLOCK_SIZE = 1 << 20 }; // the most of a file that passes through this process at once

// What one apply works in. Too large for a thread's stack, it is taken from
// the heap for the call, so that two applies never share it.
struct ApplyWork {
    PatchContents patch;
    InPlace place;
    Replacement dest, undo, held;
    Journal writing;
    unsigned char journalOut[MAX_JOURNAL_SIZE];
    unsigned char undoBytes[MAX_PATCH_SIZE];
    unsigned char block[COPY_BLOCK_SIZE];
    char finishedUndo[JOURNAL_PATH_SIZE], asked[JOURNAL_PATH_SIZE];
};

// Applies through a copy beside the destination: an output, or a file a
// program runs from.
int ApplyThroughCopy(const char* patchPath, const char* filePath, const char* outputPath, const char* undoPath,
                     unsigned codePage, int anyName, int force, Progress* progress, PatchFit* fit, ApplyWork* work,
                     Problem* problem);

// Finishes the journal beside the file held in `place`, if there is one:
// a journal that was never used is removed; one that fits the file has its
// new values written and flushed, its undo patch written where it is
// missing, and is removed (`fit->journal` then says so); one that does not
// fit is kept and the file refused, naming it. The undo patch that journal
// asked for, absolute, goes to `undoPath` (JOURNAL_PATH_SIZE bytes).
int FinishJournal(InPlace* place, const char* filePath, PatchFit* fit, char* undoPath, Problem* problem);

// Removes the journal once the file is patched; a failure says so, naming it.
int RemoveFinishedJournal(InPlace* place, const char* filePath, Problem* problem);

// Writes each record's new value, neighbouring positions in one write.
int WriteNewValues(InPlace* place, const JournalRecord* records, unsigned count, Problem* problem);

// What a failure after the first write to the file says: what failed, and
// that one more apply finishes from the journal kept.
int KeptJournal(Problem* problem, const InPlace& place, const char* path, const char* what);

#endif
