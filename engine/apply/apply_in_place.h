#ifndef MORVEX_APPLY_IN_PLACE_H
#define MORVEX_APPLY_IN_PLACE_H

// Shared by the apply in place and the finishing of a journal an earlier
// apply left (journal_recovery.cpp).
#include "in_place.h"
#include "journal.h"
#include "patch_apply.h"

#include "file_replace.h"

enum {
    COPY_BLOCK_SIZE = 1 << 20, // the most of a file that passes through this process at once
    JOURNAL_WINDOW_SIZE = 1 << 16, // the most read at once to get the file's bytes at a journal's positions
    RUN_SIZE = 1 << 16             // the most new values written in one call
};

// What looking for a journal beside a file works in.
struct JournalLook {
    InPlace place; // the journal's folder, held while it is looked at
    Journal found;
    unsigned char bytes[MAX_JOURNAL_SIZE + 1];
    unsigned char current[MAX_PATCH_RECORDS]; // the file's bytes at the journal's positions
    unsigned char window[JOURNAL_WINDOW_SIZE];
};

// What finishing one works in, and writing new values.
struct JournalWork {
    JournalLook look;
    unsigned char run[RUN_SIZE];
    PatchRecord undoRecords[MAX_PATCH_RECORDS];
    unsigned char undo[MAX_PATCH_SIZE], existing[MAX_PATCH_SIZE + 1];
    Replacement undoFile;
};

// What one apply works in. Too large for a thread's stack, it is taken from
// the heap for the call, so that two applies never share it.
struct ApplyWork {
    PatchSpace patchSpace;
    PatchContents patch;
    unsigned char oldBytes[MAX_PATCH_RECORDS]; // the file's bytes at the patch's positions
    InPlace place;
    Replacement dest, undo, held;
    Journal writing;
    JournalWork journal;
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
int FinishJournal(InPlace* place, const char* filePath, PatchFit* fit, char* undoPath, JournalWork* work,
                  Problem* problem);

// Removes the journal once the file is patched; a failure says so, naming it.
int RemoveFinishedJournal(InPlace* place, const char* filePath, Problem* problem);

// Writes each record's new value, neighbouring positions in one write of `run` (RUN_SIZE bytes).
int WriteNewValues(InPlace* place, const JournalRecord* records, unsigned count, unsigned char* run, Problem* problem);

// What a failure after the first write to the file says: what failed, and
// that one more apply finishes from the journal kept.
int KeptJournal(Problem* problem, const InPlace& place, const char* path, const char* what);

#endif
