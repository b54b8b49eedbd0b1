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

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// Lays out the journal of applying the work's patch to the file it holds,
// with the undo patch it writes. Returns the journal's length, or 0 with
// the problem.
static size_t LayOutJournal(ApplyWork* work, const char* patchPath, const char* undoPath, size_t* undoLength,
                            Problem* problem)
{
    const PatchContents& patch = work->patch;
    Journal& journal = work->writing;
    unsigned char* undoBytes = work->undoBytes;
    journal.volume = work->place.info.volume;
    journal.index = work->place.info.index;
    journal.size = work->place.info.size;
    journal.name = patch.name;
    journal.count = patch.distinct;
    for (unsigned i = 0; i < patch.distinct; i++)
        journal.records[i] = {patch.positions[i].offset, work->oldBytes[i], patch.positions[i].value};
    *undoLength = EncodeUndoPatch(patch, work->oldBytes, patchPath, undoBytes);
    // The undo patch's comment, as it stores it, follows its records.
    size_t records = undoBytes[TARGET_NAME_SIZE] | undoBytes[TARGET_NAME_SIZE + 1] << 8;
    size_t comment = PATCH_HEADER_SIZE + PATCH_RECORD_SIZE * records;
    snprintf(journal.comment, sizeof journal.comment, "%.*s", static_cast<int>(*undoLength - comment),
             reinterpret_cast<const char*>(undoBytes + comment));
    snprintf(journal.patchPath, sizeof journal.patchPath, "%s", patchPath);
    journal.undoPath[0] = '\0';
    if (undoPath && !AbsolutePath(undoPath, journal.undoPath, sizeof journal.undoPath, problem))
        return Blame(problem, undoPath, "cannot be written");
    size_t length = EncodeJournal(journal, work->journalOut);
    if (!length)
        NoteReason(problem, "a path too long for the journal"), Blame(problem, work->place.journalPath, "cannot be written");
    return length;
}

// From the journal's first byte to its removal; with interrupts held, so
// that a signal is answered after the commit (or, if it kills, by the journal).
static int Commit(ApplyWork* work, const char* filePath, const char* undoPath, size_t journalLength,
                  size_t undoLength, Progress* progress, Problem* problem)
{
    InPlace& place = work->place;
    Replacement& undo = work->undo;
    if (!WriteJournalFile(&place, work->journalOut, journalLength, problem))
        return Blame(problem, place.journalPath, "cannot be written");
    // Until the first write to the file, a cancel or a change leaves everything as it was.
    int cancelled = progress && progress->cancel.load();
    if (cancelled || !StillInPlace(&place, problem)) {
        if (RemoveJournalFile(&place, problem) == 0)
            return Blame(problem, place.journalPath, "cannot be removed: the next apply finishes what it holds");
        return cancelled ? Fail(problem, PROBLEM_CANCELLED, NULL, Cancelled) : RefuseChanged(problem, filePath);
    }
    if (!WriteNewValues(&place, work->writing.records, work->writing.count, work->journal.run, problem))
        return KeptJournal(problem, place, filePath, "cannot be written");
    if (!FlushInPlace(&place, problem))
        return KeptJournal(problem, place, filePath, "cannot be flushed to the disk");
    // A file moved over this one meanwhile stays whole, and gets no undo patch.
    if (!StillInPlace(&place, problem)) {
        RemoveJournalFile(&place, problem);
        return RefuseChanged(problem, filePath);
    }
    if (undoPath) {
        Replacement* failed;
        int written = fwrite(work->undoBytes, 1, undoLength, undo.file) == undoLength || NoteSystemError(problem);
        if (!written)
            AbandonReplace(&undo);
        if (!written || !NameUndoTemp(&undo, problem) || !CommitReplace(&undo, NULL, &failed, problem)) {
            char words[PROBLEM_TEXT_SIZE];
            snprintf(words, sizeof words, "%s; the file is patched",
                     undo.unflushed ? WrittenUnflushed : "cannot be written");
            return KeptJournal(problem, place, undoPath, words);
        }
    }
    return RemoveFinishedJournal(&place, filePath, problem);
}

static int ApplyInPlace(const char* patchPath, const char* filePath, const char* undoPath, unsigned codePage,
                        int anyName, int force, Progress* progress, PatchFit* fit, ApplyWork* work,
                        Problem* problem)
{
    PatchContents& patch = work->patch;
    InPlace& place = work->place;
    Replacement& undo = work->undo;
    char* finishedUndo = work->finishedUndo;
    FileInfo patchInfo;
    if (!LoadPatchFile(patchPath, codePage, &work->patchSpace, &patch, &patchInfo, problem))
        return 0;
    int opened = OpenInPlace(filePath, &place, problem);
    static const char* const failed[] = {"cannot be opened as a file", "cannot be written",
                                         "its folder cannot take a journal"};
    if (opened != 1)
        return opened == IN_PLACE_BUSY ? IN_PLACE_BUSY : Blame(problem, filePath, failed[place.folderless]);
    fit->unlocked = place.unlocked;
    fit->otherNames = 0;
    fit->noted = 0;
    int done = FinishJournal(&place, filePath, fit, finishedUndo, &work->journal, problem)
               && JudgeOpenFile(place.file, filePath, place.info, patch, work->oldBytes, anyName, force, fit, problem);
    // Asked again after an interruption, the apply just finished is this one.
    int same = undoPath && finishedUndo[0] && AbsolutePath(undoPath, work->asked, sizeof work->asked, problem)
               && strcmp(work->asked, finishedUndo) == 0;
    if (done && fit->state == FIT_APPLIED && (!undoPath || same)) {
        CloseInPlace(&place);
        return 1;
    }
    Replacement& held = work->held;
    held.exists = 1;
    held.info = place.info;
    done = done && (!undoPath || BeginUndo(undoPath, &undo, held, patchInfo, place.info, *fit, problem));
    size_t undoLength = 0, journalLength = 0;
    if (done && !(journalLength = LayOutJournal(work, patchPath, undoPath, &undoLength, problem)))
        done = 0;
    if (done && !Advance(progress, 0, 1))
        done = Fail(problem, PROBLEM_CANCELLED, NULL, Cancelled);
    if (!done) {
        if (undoPath && undo.file)
            AbandonReplace(&undo);
        CloseInPlace(&place);
        return 0;
    }
    HoldInterrupts();
    done = Commit(work, filePath, undoPath, journalLength, undoLength, progress, problem);
    ReleaseInterrupts();
    if (undoPath && undo.file)
        AbandonReplace(&undo);
    fit->lostPrivileges = done && LostPrivileges(&place);
    CloseInPlace(&place);
    Advance(progress, 1, 1);
    return done;
}

int ApplyPatch(const char* patchPath, const char* filePath, const char* outputPath, const char* undoPath,
               unsigned codePage, int anyName, int force, Progress* progress, PatchFit* fit, Problem* problem)
{
    fit->journal = JOURNAL_NONE;
    fit->journalPatch[0] = '\0';
    fit->unlocked = fit->lostPrivileges = 0;
    ApplyWork* work = static_cast<ApplyWork*>(calloc(1, sizeof *work));
    if (!work)
        return NoteError(problem, ENOMEM), Blame(problem, filePath, "cannot be patched");
    int done = outputPath ? IN_PLACE_BUSY
                          : ApplyInPlace(patchPath, filePath, undoPath, codePage, anyName, force, progress, fit, work,
                                         problem);
    // An output, and a file a program runs from, are written through a copy.
    if (done == IN_PLACE_BUSY) {
        memset(work, 0, sizeof *work);
        done = ApplyThroughCopy(patchPath, filePath, outputPath, undoPath, codePage, anyName, force, progress, fit,
                                work, problem);
    }
    // A journal's or a kept copy's name the problem holds lies in the work.
    KeepProblemPath(problem, work, sizeof *work);
    free(work);
    return done;
}
