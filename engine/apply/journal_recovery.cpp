// What the next run does with a journal an apply in place left beside its
// file: removes one that was never used, finishes one that fits, refuses
// the file where one does not fit.
#include "apply_in_place.h"
#include "patch_judging.h"

#include "file_replace.h"
#include "platform.h"

#include <cstdio>
#include <cstring>

enum { WINDOW_SIZE = 1 << 16, RUN_SIZE = 1 << 16 };

static Journal Found;
static unsigned char JournalBytes[MAX_JOURNAL_SIZE + 1];
static unsigned char Current[MAX_PATCH_RECORDS];
static unsigned char Undo[MAX_PATCH_SIZE], Existing[MAX_PATCH_SIZE + 1];

// The file's bytes at the journal's positions, nearby ones read in one piece.
static int ReadAtRecords(FILE* file, const char* filePath, const Journal& journal, Problem* problem)
{
    static unsigned char window[WINDOW_SIZE];
    for (unsigned first = 0, next; first < journal.count; first = next) {
        long long start = journal.records[first].offset;
        for (next = first + 1; next < journal.count && journal.records[next].offset - start < WINDOW_SIZE;)
            next++;
        long span = static_cast<long>(journal.records[next - 1].offset - start) + 1;
        long got = ReadAt(file, window, static_cast<size_t>(span), start);
        if (got < 0)
            return NoteSystemError(problem), Blame(problem, filePath, "cannot be read");
        if (got != span)
            return RefuseChanged(problem, filePath);
        for (unsigned i = first; i < next; i++)
            Current[i] = window[journal.records[i].offset - start];
    }
    return 1;
}

enum { LOOK_NONE, LOOK_FITS, LOOK_REFUSED };

// Reads and judges the journal beside the file; with `removeUnused`, one
// that was never used is removed.
static int Look(InPlace* place, FILE* file, const char* filePath, const FileInfo& info, int removeUnused,
                Problem* problem)
{
    long length;
    int found = ReadJournalFile(place, JournalBytes, MAX_JOURNAL_SIZE, &length, problem);
    if (found < 0)
        return Blame(problem, place->journalPath, "cannot be read"), LOOK_REFUSED;
    if (!found)
        return LOOK_NONE;
    if (!DecodeJournal(JournalBytes, static_cast<size_t>(length), &Found)) {
        if (removeUnused && RemoveJournalFile(place, problem) == 0)
            return Blame(problem, place->journalPath, "cannot be removed"), LOOK_REFUSED;
        return LOOK_NONE;
    }
    int fit = JOURNAL_OTHER_FILE;
    if (Found.volume == info.volume && Found.index == info.index && Found.size == info.size) {
        if (!ReadAtRecords(file, filePath, Found, problem))
            return LOOK_REFUSED;
        fit = JournalFit(Found, info.volume, info.index, info.size, Current);
    }
    if (fit == JOURNAL_FITS)
        return LOOK_FITS;
    char what[PROBLEM_TEXT_SIZE];
    snprintf(what, sizeof what, "the journal %.900s holds an unfinished apply of %.200s %s", place->journalPath,
             Found.patchPath, fit == JOURNAL_OTHER_FILE ? "to another file" : "that the bytes of this file do not fit");
    return Refuse(problem, filePath, what), LOOK_REFUSED;
}

int LookForJournal(FILE* file, const char* filePath, const FileInfo& info, PatchFit* fit, Problem* problem)
{
    static InPlace place;
    fit->journal = JOURNAL_NONE;
    fit->journalPatch[0] = '\0';
    // Where the folder cannot be read, no apply in place could have left a journal.
    int look = HoldJournalFolder(filePath, &place, problem) ? Look(&place, file, filePath, info, 0, problem) : LOOK_NONE;
    CloseInPlace(&place);
    if (look == LOOK_FITS) {
        fit->journal = JOURNAL_INTERRUPTED;
        snprintf(fit->journalPatch, sizeof fit->journalPatch, "%s", Found.patchPath);
    }
    return look != LOOK_REFUSED;
}

int KeptJournal(Problem* problem, const InPlace& place, const char* path, const char* what)
{
    char words[PROBLEM_TEXT_SIZE];
    snprintf(words, sizeof words, "%.100s; the journal %.1000s is kept: apply the patch again to finish it", what,
             place.journalPath);
    return Blame(problem, path, words);
}

int WriteNewValues(InPlace* place, const JournalRecord* records, unsigned count, Problem* problem)
{
    static unsigned char run[RUN_SIZE];
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

// Whether the file at `path` holds exactly `length` bytes of `bytes`.
static int Holds(const char* path, const unsigned char* bytes, size_t length)
{
    FileInfo info;
    Problem ignored;
    FILE* file = OpenInputFile(path, &info, &ignored);
    if (!file)
        return 0;
    long got = ReadAt(file, Existing, sizeof Existing, 0);
    fclose(file);
    return got == static_cast<long>(length) && memcmp(Existing, bytes, length) == 0;
}

// Writes the journal's undo patch through the replace primitive, unless it is there already.
static int WriteUndo(const Journal& journal, Problem* problem)
{
    static Replacement undo;
    size_t length = JournalUndoPatch(journal, Undo);
    if (Holds(journal.undoPath, Undo, length))
        return 1;
    if (!BeginReplace(journal.undoPath, NULL, NULL, &undo, problem))
        return 0;
    Replacement* failed;
    if (fwrite(Undo, 1, length, undo.file) != length) {
        NoteSystemError(problem);
        AbandonReplace(&undo);
        return 0;
    }
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

int FinishJournal(InPlace* place, const char* filePath, PatchFit* fit, char* undoPath, Problem* problem)
{
    undoPath[0] = '\0';
    int look = Look(place, place->file, filePath, place->info, 1, problem);
    if (look != LOOK_FITS)
        return look == LOOK_NONE;
    HoldInterrupts();
    int done = 0;
    if (!WriteNewValues(place, Found.records, Found.count, problem))
        KeptJournal(problem, *place, filePath, "cannot be written");
    else if (!FlushInPlace(place, problem))
        KeptJournal(problem, *place, filePath, "cannot be flushed to the disk");
    else if (Found.undoPath[0] && (RemoveUndoTemp(Found.undoPath), !WriteUndo(Found, problem)))
        KeptJournal(problem, *place, Found.undoPath, "cannot be written");
    else
        done = RemoveFinishedJournal(place, filePath, problem);
    ReleaseInterrupts();
    if (done) {
        fit->journal = JOURNAL_FINISHED;
        snprintf(fit->journalPatch, sizeof fit->journalPatch, "%s", Found.patchPath);
        strcpy(undoPath, Found.undoPath);
    }
    return done;
}
