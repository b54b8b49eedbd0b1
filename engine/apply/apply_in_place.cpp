// Applying a patch where the file lies, under a rollback journal: the
// journal is whole and flushed, with its folder, before the first byte of
// the file changes; the file is flushed before the undo patch is written
// and before the journal goes. At every point the files are the file as it
// was, the file patched with its undo patch, or a journal from which one
// more apply reaches the second.
#include "apply_in_place.h"
#include "patch_judging.h"
#include "patch_verdict.h"

#include "file_replace.h"
#include "platform.h"
#include "progress.h"

#include <cstdio>
#include <cstring>

static PatchContents Patch;
static InPlace Place;
static Journal Writing;
static unsigned char JournalOut[MAX_JOURNAL_SIZE];
static unsigned char UndoBytes[MAX_PATCH_SIZE];
static Replacement Undo;

// Lays out the journal of applying `patch` to the file held in `place`,
// with the undo patch it writes in UndoBytes. Returns the journal's length,
// or 0 with the problem.
static size_t LayOutJournal(const PatchContents& patch, const char* patchPath, const char* undoPath,
                            size_t* undoLength, Problem* problem)
{
    Writing.volume = Place.info.volume;
    Writing.index = Place.info.index;
    Writing.size = Place.info.size;
    Writing.name = patch.name;
    Writing.count = patch.distinct;
    for (unsigned i = 0; i < patch.distinct; i++)
        Writing.records[i] = {patch.positions[i].offset, OldBytes[i], patch.positions[i].value};
    *undoLength = EncodeUndoPatch(patch, OldBytes, patchPath, UndoBytes);
    // The undo patch's comment, as it stores it, follows its records.
    size_t records = UndoBytes[TARGET_NAME_SIZE] | UndoBytes[TARGET_NAME_SIZE + 1] << 8;
    size_t comment = PATCH_HEADER_SIZE + PATCH_RECORD_SIZE * records;
    snprintf(Writing.comment, sizeof Writing.comment, "%.*s", static_cast<int>(*undoLength - comment),
             reinterpret_cast<const char*>(UndoBytes + comment));
    snprintf(Writing.patchPath, sizeof Writing.patchPath, "%s", patchPath);
    Writing.undoPath[0] = '\0';
    if (undoPath && !AbsolutePath(undoPath, Writing.undoPath, sizeof Writing.undoPath, problem))
        return Blame(problem, undoPath, "cannot be written");
    size_t length = EncodeJournal(Writing, JournalOut);
    if (!length)
        NoteReason(problem, "a path too long for the journal"), Blame(problem, Place.journalPath, "cannot be written");
    return length;
}

// From the journal's first byte to its removal; with interrupts held, so
// that a signal is answered after the commit (or, if it kills, by the journal).
static int Commit(const char* filePath, const char* undoPath, size_t journalLength, size_t undoLength,
                  Progress* progress, Problem* problem)
{
    if (!WriteJournalFile(&Place, JournalOut, journalLength, problem))
        return Blame(problem, Place.journalPath, "cannot be written");
    // Until the first write to the file, a cancel or a change leaves everything as it was.
    int cancelled = progress && progress->cancel.load();
    if (cancelled || !StillInPlace(&Place, problem)) {
        if (RemoveJournalFile(&Place, problem) == 0)
            return Blame(problem, Place.journalPath, "cannot be removed: the next apply finishes what it holds");
        return Refuse(problem, cancelled ? NULL : filePath, cancelled ? Cancelled : ChangedWhileWorking);
    }
    if (!WriteNewValues(&Place, Writing.records, Writing.count, problem))
        return KeptJournal(problem, Place, filePath, "cannot be written");
    if (!FlushInPlace(&Place, problem))
        return KeptJournal(problem, Place, filePath, "cannot be flushed to the disk");
    // A file moved over this one meanwhile stays whole, and gets no undo patch.
    if (!StillInPlace(&Place, problem)) {
        RemoveJournalFile(&Place, problem);
        return Refuse(problem, filePath, ChangedWhileWorking);
    }
    if (undoPath) {
        Replacement* failed;
        int written = fwrite(UndoBytes, 1, undoLength, Undo.file) == undoLength || NoteSystemError(problem);
        if (!written)
            AbandonReplace(&Undo);
        if (!written || !NameUndoTemp(&Undo, problem) || !CommitReplace(&Undo, NULL, &failed, problem))
            return KeptJournal(problem, Place, undoPath, "cannot be written; the file is patched");
    }
    return RemoveFinishedJournal(&Place, filePath, problem);
}

static int ApplyInPlace(const char* patchPath, const char* filePath, const char* undoPath, unsigned codePage,
                        int anyName, int force, Progress* progress, PatchFit* fit, Problem* problem)
{
    FileInfo patchInfo;
    if (!LoadPatchFile(patchPath, codePage, &Patch, &patchInfo, problem))
        return 0;
    int opened = OpenInPlace(filePath, &Place, problem);
    static const char* const failed[] = {"cannot be opened as a file", "cannot be written",
                                         "its folder cannot take a journal"};
    if (opened != 1)
        return opened == IN_PLACE_BUSY ? IN_PLACE_BUSY : Blame(problem, filePath, failed[Place.folderless]);
    fit->unlocked = Place.unlocked;
    fit->otherNames = 0;
    fit->noted = 0;
    static char finishedUndo[JOURNAL_PATH_SIZE], asked[JOURNAL_PATH_SIZE];
    int done = FinishJournal(&Place, filePath, fit, finishedUndo, problem)
               && JudgeOpenFile(Place.file, filePath, Place.info, Patch, anyName, force, fit, problem);
    // Asked again after an interruption, the apply just finished is this one.
    int same = undoPath && finishedUndo[0] && AbsolutePath(undoPath, asked, sizeof asked, problem)
               && strcmp(asked, finishedUndo) == 0;
    if (done && fit->state == FIT_APPLIED && (!undoPath || same)) {
        CloseInPlace(&Place);
        return 1;
    }
    static Replacement held;
    memset(&held, 0, sizeof held);
    held.exists = 1;
    held.info = Place.info;
    done = done && (!undoPath || BeginUndo(undoPath, &Undo, held, patchInfo, Place.info, *fit, problem));
    size_t undoLength = 0, journalLength = 0;
    if (done && !(journalLength = LayOutJournal(Patch, patchPath, undoPath, &undoLength, problem)))
        done = 0;
    if (done && !Advance(progress, 0, 1))
        done = Refuse(problem, NULL, Cancelled);
    if (!done) {
        if (undoPath && Undo.file)
            AbandonReplace(&Undo);
        CloseInPlace(&Place);
        return 0;
    }
    HoldInterrupts();
    done = Commit(filePath, undoPath, journalLength, undoLength, progress, problem);
    ReleaseInterrupts();
    if (undoPath && Undo.file)
        AbandonReplace(&Undo);
    fit->lostPrivileges = done && LostPrivileges(&Place);
    CloseInPlace(&Place);
    Advance(progress, 1, 1);
    return done;
}

int ApplyPatch(const char* patchPath, const char* filePath, const char* outputPath, const char* undoPath,
               unsigned codePage, int anyName, int force, Progress* progress, PatchFit* fit, Problem* problem)
{
    fit->journal = JOURNAL_NONE;
    fit->journalPatch[0] = '\0';
    fit->unlocked = fit->lostPrivileges = 0;
    int done = outputPath ? IN_PLACE_BUSY
                          : ApplyInPlace(patchPath, filePath, undoPath, codePage, anyName, force, progress, fit, problem);
    // An output, and a file a program runs from, are written through a copy.
    if (done == IN_PLACE_BUSY)
        return ApplyThroughCopy(patchPath, filePath, outputPath, undoPath, codePage, anyName, force, progress, fit,
                                problem);
    return done;
}
