// Reading a patch and the bytes of a file at its positions.
#include "patch_apply.h"
#include "patch_judging.h"
#include "patch_verdict.h"

#include "platform.h"
#include "target_name.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

enum { WINDOW_SIZE = 1 << 16 }; // the most read at once to get the bytes at nearby positions

int LoadPatchFile(const char* patchPath, unsigned codePage, PatchSpace* space, PatchContents* patch, FileInfo* info,
                  Problem* problem)
{
    FILE* file = OpenInputFile(patchPath, info, problem);
    if (!file)
        return Blame(problem, patchPath, "cannot be opened as a file");
    long got = 0;
    unsigned char extra;
    // A file that grew past the limit since it was measured is no patch either.
    if (info->size <= MAX_READ_PATCH_SIZE && (got = ReadAt(file, space->bytes, MAX_READ_PATCH_SIZE, 0)) >= 0
        && got == MAX_READ_PATCH_SIZE && ReadAt(file, &extra, 1, got) != 0)
        info->size = MAX_READ_PATCH_SIZE + 1LL;
    if (got < 0)
        NoteSystemError(problem);
    fclose(file);
    if (info->size > MAX_READ_PATCH_SIZE)
        return Fail(problem, PROBLEM_NOT_A_PATCH, patchPath, PatchTooLarge);
    if (got < 0)
        return Blame(problem, patchPath, "cannot be read");
    char refusal[REFUSAL_SIZE];
    if (!ReadPatchBytes(space->bytes, static_cast<size_t>(got), codePage, space, patch, refusal))
        return Fail(problem, PROBLEM_NOT_A_PATCH, patchPath, refusal);
    return 1;
}

int LoadPatch(const char* patchPath, unsigned codePage, PatchSpace* space, PatchContents* patch, Problem* problem)
{
    FileInfo info;
    return LoadPatchFile(patchPath, codePage, space, patch, &info, problem);
}

// The file's bytes at one share of the patch's positions, in ascending
// order. Positions within 64 KiB of each other are read in one piece: a
// system call costs about as much as copying that many bytes.
struct GatherShare {
    FILE* file;
    const char* filePath;
    const PatchRecord* positions;
    unsigned first, end;
    unsigned char* window;
    unsigned char* oldBytes; // the bytes at all the positions
    Progress* progress; // the first share reports it for both; both heed a cancel
    int ok;
    Problem problem;    // taken on the reading thread, where the read failed
};

static void GatherOldBytes(void* argument)
{
    GatherShare* share = static_cast<GatherShare*>(argument);
    const PatchRecord* positions = share->positions;
    share->ok = 1;
    for (unsigned first = share->first, next; first < share->end; first = next) {
        int going = share->first == 0 ? Advance(share->progress, 2LL * first, 2LL * share->end)
                                      : !(share->progress && share->progress->cancel.load());
        if (!going) {
            share->ok = Fail(&share->problem, PROBLEM_CANCELLED, NULL, Cancelled);
            return;
        }
        long long start = positions[first].offset;
        next = first + 1;
        while (next < share->end && positions[next].offset - start < WINDOW_SIZE)
            next++;
        long span = static_cast<long>(positions[next - 1].offset - start) + 1;
        long got = ReadAt(share->file, share->window, static_cast<size_t>(span), start);
        if (got < 0) {
            NoteSystemError(&share->problem);
            share->ok = Blame(&share->problem, share->filePath, "cannot be read");
            return;
        }
        if (got != span) {
            share->ok = RefuseChanged(&share->problem, share->filePath);
            return;
        }
        TakeBytes(positions + first, next - first, start, share->window, static_cast<size_t>(span),
                  share->oldBytes + first);
    }
}

// Fills `oldBytes` (MAX_PATCH_RECORDS bytes). Scattered positions cost a
// system call each, so two threads share them.
static int ReadOldBytes(FILE* file, const char* filePath, const PatchContents& patch, unsigned char* oldBytes,
                        Progress* progress, Problem* problem)
{
    unsigned char* windows = static_cast<unsigned char*>(malloc(2 * WINDOW_SIZE));
    if (!windows || !oldBytes) {
        free(windows);
        NoteError(problem, ENOMEM);
        return Blame(problem, filePath, "cannot be read");
    }
    GatherShare shares[2];
    unsigned middle = patch.distinct / 2;
    // Many scattered positions are asked of the disk at once, not in turn.
    for (unsigned first = 0, next; first < patch.distinct && patch.distinct > 64; first = next) {
        long long start = patch.positions[first].offset;
        for (next = first + 1; next < patch.distinct && patch.positions[next].offset - start < WINDOW_SIZE;)
            next++;
        WillRead(file, start, patch.positions[next - 1].offset - start + 1);
    }
    FILE* second = SecondReader(file);
    shares[0] = {file, filePath, patch.positions, 0, middle, windows, oldBytes, progress, 0, {}};
    shares[1] = {second, filePath, patch.positions, middle, patch.distinct, windows + WINDOW_SIZE, oldBytes, progress,
                 0, {}};
    RunInParallel(GatherOldBytes, &shares[0], &shares[1]);
    CloseSecondReader(second, file);
    free(windows);
    for (const GatherShare& share : shares)
        if (!share.ok)
            return *problem = share.problem, 0;
    return 1;
}

int JudgeOpenFile(FILE* file, const char* filePath, const FileInfo& info, const PatchContents& patch,
                  unsigned char* oldBytes, int anyName, int force, PatchFit* fit, Problem* problem)
{
    fit->fileSize = info.size;
    fit->fileName = DeriveTargetName(filePath, patch.codePage, NULL);
    char refusal[REFUSAL_SIZE];
    if (!PastTheEnd(patch, info.size) && !ReadOldBytes(file, filePath, patch, oldBytes, NULL, problem))
        return 0;
    JudgeFit(patch, oldBytes, fit);
    if (FitRefused(patch, *fit, anyName, force, refusal))
        return Refuse(problem, filePath, refusal);
    return 1;
}

FILE* OpenAndJudge(const char* filePath, const PatchContents& patch, unsigned char* oldBytes, int anyName, int force,
                   int toReplace, PatchFit* fit, FileInfo* info, Problem* problem)
{
    FILE* file = toReplace ? OpenFileToReplace(filePath, info, problem) : OpenInputFile(filePath, info, problem);
    if (!file)
        return Blame(problem, filePath, "cannot be opened as a file"), nullptr;
    if (!JudgeOpenFile(file, filePath, *info, patch, oldBytes, anyName, force, fit, problem)) {
        fclose(file);
        return NULL;
    }
    return file;
}

int CheckPatch(const char* patchPath, const char* filePath, unsigned codePage, int anyName, int force,
               PatchSpace* space, PatchContents* patch, PatchFit* fit, Problem* problem)
{
    FileInfo info;
    if (!LoadPatch(patchPath, codePage, space, patch, problem))
        return 0;
    FILE* file = OpenInputFile(filePath, &info, problem);
    if (!file)
        return Blame(problem, filePath, "cannot be opened as a file");
    unsigned char* oldBytes = static_cast<unsigned char*>(malloc(MAX_PATCH_RECORDS));
    // An interrupted apply leaves the file partly patched, which is no refusal then.
    int judged = LookForJournal(file, filePath, info, fit, problem)
                 && JudgeOpenFile(file, filePath, info, *patch, oldBytes, anyName, force || fit->journal, fit, problem);
    free(oldBytes);
    fclose(file);
    return judged;
}

int SurveyFit(const PatchContents& patch, const char* filePath, Progress* progress, PatchFit* fit, Problem* problem)
{
    FileInfo info;
    FILE* file = OpenInputFile(filePath, &info, problem);
    if (!file)
        return Blame(problem, filePath, "cannot be opened as a file");
    if (!LookForJournal(file, filePath, info, fit, problem)) {
        fclose(file);
        return 0;
    }
    fit->fileSize = info.size;
    fit->fileName = DeriveTargetName(filePath, patch.codePage, NULL);
    // A record past the end is a state to show, where the check refuses it.
    unsigned char* oldBytes = static_cast<unsigned char*>(malloc(MAX_PATCH_RECORDS));
    int read = PastTheEnd(patch, info.size) || ReadOldBytes(file, filePath, patch, oldBytes, progress, problem);
    fclose(file);
    if (read)
        JudgeFit(patch, oldBytes, fit);
    free(oldBytes);
    return read;
}
