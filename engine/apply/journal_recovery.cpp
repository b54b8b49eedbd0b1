// What the next run does with a journal an apply in place left beside its
// file: removes one that was never used, finishes one that fits, refuses
// the file where one does not fit.
#include "apply_in_place.h"
#include "patch_judging.h"

#include "file_replace.h"
#include "platform.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

// The file's bytes at the journal's positions, nearby ones read in one piece.
static int ReadAtRecords(FILE* file, const char* filePath, JournalLook* look, Problem* problem)
{
    const Journal& journal = look->found;
    unsigned char* window = look->window;
    for (unsigned first = 0, next; first < journal.count; first = next) {
        long long start = journal.records[first].offset;
        for (next = first + 1; next < journal.count && journal.records[next].offset - start < JOURNAL_WINDOW_SIZE;)
            next++;
        long span = static_cast<long>(journal.records[next - 1].offset - start) + 1;
        long got = ReadAt(file, window, static_cast<size_t>(span), start);
        if (got < 0)
            return NoteSystemError(problem), Blame(problem, filePath, "cannot be read");
        if (got != span)
            return RefuseChanged(problem, filePath);
        for (unsigned i = first; i < next; i++)
            look->current[i] = window[journal.records[i].offset - start];
    }
    return 1;
}

enum { LOOK_NONE, LOOK_FITS, LOOK_REFUSED };

// Reads and judges the journal beside the file; with `removeUnused`, one
// that was never used is removed.
static int Look(InPlace* place, JournalLook* look, FILE* file, const char* filePath, const FileInfo& info,
                int removeUnused, Problem* problem)
{
    Journal& found = look->found;
    long length;
    int read = ReadJournalFile(place, look->bytes, MAX_JOURNAL_SIZE, &length, problem);
    if (read < 0)
        return Blame(problem, place->journalPath, "cannot be read"), LOOK_REFUSED;
    if (!read)
        return LOOK_NONE;
    if (!DecodeJournal(look->bytes, static_cast<size_t>(length), &found)) {
        if (removeUnused && RemoveJournalFile(place, problem) == 0)
            return Blame(problem, place->journalPath, "cannot be removed"), LOOK_REFUSED;
        return LOOK_NONE;
    }
    int fit = JOURNAL_OTHER_FILE;
    if (found.volume == info.volume && found.index == info.index && found.size == info.size) {
        if (!ReadAtRecords(file, filePath, look, problem))
            return LOOK_REFUSED;
        fit = JournalFit(found, info.volume, info.index, info.size, look->current);
    }
    if (fit == JOURNAL_FITS)
        return LOOK_FITS;
    char what[PROBLEM_TEXT_SIZE];
    snprintf(what, sizeof what, "the journal %.900s holds an unfinished apply of %.200s %s", place->journalPath,
             found.patchPath, fit == JOURNAL_OTHER_FILE ? "to another file" : "that the bytes of this file do not fit");
    return Refuse(problem, filePath, what), LOOK_REFUSED;
}

int LookForJournal(FILE* file, const char* filePath, const FileInfo& info, PatchFit* fit, Problem* problem)
{
    fit->journal = JOURNAL_NONE;
    fit->journalPatch[0] = '\0';
    // Too large for a thread's stack, the look's work is taken from the heap for this call.
    JournalLook* work = static_cast<JournalLook*>(calloc(1, sizeof *work));
    if (!work)
        return NoteError(problem, ENOMEM), Blame(problem, filePath, "cannot be read");
    // Where the folder cannot be read, no apply in place could have left a journal.
    int look = HoldJournalFolder(filePath, &work->place, problem)
                   ? Look(&work->place, work, file, filePath, info, 0, problem)
                   : LOOK_NONE;
    CloseInPlace(&work->place);
    if (look == LOOK_FITS) {
        fit->journal = JOURNAL_INTERRUPTED;
        snprintf(fit->journalPatch, sizeof fit->journalPatch, "%s", work->found.patchPath);
    }
    KeepProblemPath(problem, work, sizeof *work);
    free(work);
    return look != LOOK_REFUSED;
}

int KeptJournal(Problem* problem, const InPlace& place, const char* path, const char* what)
{
    char words[PROBLEM_TEXT_SIZE];
    snprintf(words, sizeof words, "%.100s; the journal %.1000s is kept: apply the patch again to finish it", what,
             place.journalPath);
    return Blame(problem, path, words);
}

int WriteNewValues(InPlace* place, const JournalRecord* records, unsigned count, unsigned char* run, Problem* problem)
{
    for (unsigned first = 0, next; first < count; first = next) {
        run[0] = records[first].now;
        for (next = first + 1; next < count && next - first < RUN_SIZE
                               && records[next].offset == records[next - 1].offset + 1;
             next++)
            run[next - first] = records[next].now;
        if (!WriteInPlace(place, run, next - first, records[first].offset, problem))
            return 0;
    }
    return 1;
}

// Whether the file at `path` holds exactly `length` bytes of `bytes`, read into `existing`.
static int Holds(const char* path, const unsigned char* bytes, size_t length, unsigned char* existing)
{
    FileInfo info;
    Problem ignored;
    FILE* file = OpenInputFile(path, &info, &ignored);
    if (!file)
        return 0;
    long got = ReadAt(file, existing, MAX_PATCH_SIZE + 1, 0);
    fclose(file);
    return got == static_cast<long>(length) && memcmp(existing, bytes, length) == 0;
}

// Writes the journal's undo patch through the replace primitive, unless it is there already.
static int WriteUndo(const Journal& journal, JournalWork* work, Problem* problem)
{
    Replacement& undo = work->undoFile;
    size_t length = JournalUndoPatch(journal, work->undoRecords, work->undo);
    if (Holds(journal.undoPath, work->undo, length, work->existing))
        return 1;
    if (!BeginReplace(journal.undoPath, NULL, NULL, &undo, problem))
        return 0;
    // A failed write fails the commit, which gives its reason.
    fwrite(work->undo, 1, length, undo.file);
    Replacement* failed;
    return CommitReplace(&undo, NULL, &failed, problem);
}

int RemoveFinishedJournal(InPlace* place, const char* filePath, Problem* problem)
{
    char what[PROBLEM_TEXT_SIZE];
    int removed = RemoveJournalFile(place, problem);
    if (removed == 1)
        return 1;
    snprintf(what, sizeof what, "patched, but its journal %.1000s %s", place->journalPath,
             removed ? "is removed without its folder flushed to the disk" : "cannot be removed");
    return Blame(problem, filePath, what);
}

int FinishJournal(InPlace* place, const char* filePath, PatchFit* fit, char* undoPath, JournalWork* work,
                  Problem* problem)
{
    const Journal& found = work->look.found;
    undoPath[0] = '\0';
    int look = Look(place, &work->look, place->file, filePath, place->info, 1, problem);
    if (look != LOOK_FITS)
        return look == LOOK_NONE;
    HoldInterrupts();
    int done = 0;
    if (!WriteNewValues(place, found.records, found.count, work->run, problem))
        KeptJournal(problem, *place, filePath, "cannot be written");
    else if (!FlushInPlace(place, problem))
        KeptJournal(problem, *place, filePath, "cannot be flushed to the disk");
    else if (found.undoPath[0] && (RemoveUndoTemp(found.undoPath), !WriteUndo(found, work, problem)))
        KeptJournal(problem, *place, found.undoPath, "cannot be written");
    else
        done = RemoveFinishedJournal(place, filePath, problem);
    ReleaseInterrupts();
    if (done) {
        fit->journal = JOURNAL_FINISHED;
        snprintf(fit->journalPatch, sizeof fit->journalPatch, "%s", found.patchPath);
        strcpy(undoPath, found.undoPath);
    }
    return done;
}
