// Writing the results of an apply: the patched copy and the undo patch.
#include "apply_in_place.h"
#include "patch_judging.h"
#include "patch_text.h"
#include "patch_verdict.h"

#include "file_replace.h"
#include "platform.h"
#include "progress.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

enum {
    CHUNK_SIZE = 1 << 16, // the copy's unit: the system copies chunks without a position
    STEP_SIZE = 16 << 20  // the most copied between two looks at the progress
};


// Whether a failed copy between files failed in the writing.
static int WriteFailed(int error)
{
#ifdef EDQUOT
    if (error == EDQUOT)
        return 1;
#endif
    return error == ENOSPC || error == EFBIG;
}

// Names the side of a failed copy at fault: the file read or the one written.
static int CopyFailed(Problem* problem, const char* filePath, const char* outPath)
{
    NoteSystemError(problem);
    if (WriteFailed(problem->error))
        return Blame(problem, outPath, "cannot be written");
    return Blame(problem, filePath, "cannot be read");
}

// Copies the file's `size` bytes to `out`, each position's new value laid
// over it. Chunks holding no position are left to the system to copy; runs
// of chunks that hold one pass through `block` (COPY_BLOCK_SIZE bytes). Fails on a read or write
// error, or when the file no longer has exactly `size` bytes.
static int CopyPatched(FILE* file, const char* filePath, long long size, FILE* out, const char* outPath,
                       const PatchContents& patch, unsigned char* block, Progress* progress, Problem* problem)
{
    const PatchRecord* positions = patch.positions;
    unsigned next = 0;
    for (long long at = 0; at < size;) {
        if (!Advance(progress, at, size))
            return Fail(problem, PROBLEM_CANCELLED, NULL, Cancelled);
        long long nextOffset = next < patch.distinct ? positions[next].offset : size;
        // A plain run is copied in steps, so that progress is seen and a cancel heard.
        long long plainEnd = std::min({size, nextOffset - nextOffset % CHUNK_SIZE, at + STEP_SIZE});
        if (plainEnd > at) {
            int copied = AppendFileRange(file, at, plainEnd - at, out);
            if (copied < 0)
                return RefuseChanged(problem, filePath);
            if (!copied)
                return CopyFailed(problem, filePath, outPath);
            at = plainEnd;
            continue;
        }
        long long end = std::min(size, at + CHUNK_SIZE);
        unsigned last = next;
        for (;;) {
            while (last < patch.distinct && positions[last].offset < end)
                last++;
            if (end == size || end - at == COPY_BLOCK_SIZE || last == patch.distinct
                || positions[last].offset >= end + CHUNK_SIZE)
                break;
            end = std::min(size, end + CHUNK_SIZE);
        }
        size_t length = static_cast<size_t>(end - at);
        long got = ReadAt(file, block, length, at);
        if (got < 0)
            return NoteSystemError(problem), Blame(problem, filePath, "cannot be read");
        if (got != static_cast<long>(length))
            return RefuseChanged(problem, filePath);
        next += LayPositions(positions + next, last - next, at, block, length);
        if (fwrite(block, 1, length, out) != length)
            return NoteSystemError(problem), Blame(problem, outPath, "cannot be written");
        at = end;
    }
    unsigned char extra;
    long got = ReadAt(file, &extra, 1, size);
    if (got < 0)
        return NoteSystemError(problem), Blame(problem, filePath, "cannot be read");
    return got == 0 ? 1 : RefuseChanged(problem, filePath);
}

// Where the result and the undo patch go must be neither the patch nor, for
// the undo patch, the file or the result, however the paths are spelled.
static const char* TargetProblem(const Replacement& target, const FileInfo& patchInfo, const FileInfo* others,
                                 int otherCount)
{
    if (target.exists && SameFile(target.info, patchInfo))
        return "is the patch itself";
    for (int i = 0; i < otherCount; i++)
        if (target.exists && SameFile(target.info, others[i]))
            return "is the file being patched or its result";
    return NULL;
}

// Begins the undo patch's replacement beside the result, unless it would
// land on the patch, the file or the result, or there is nothing to undo.
int BeginUndo(const char* undoPath, Replacement* undo, const Replacement& dest, const FileInfo& patchInfo,
                     const FileInfo& fileInfo, const PatchFit& fit, Problem* problem)
{
    FileInfo others[2] = {fileInfo, dest.exists ? dest.info : fileInfo};
    // The file held for patching in place cannot be begun on Windows (its
    // writes are not shared), but is refused for what it is.
    if (!BeginReplace(undoPath, NULL, NULL, undo, problem)) {
        const char* refusal = undo->exists ? TargetProblem(*undo, patchInfo, others, 2) : NULL;
        return refusal ? Refuse(problem, undoPath, refusal) : Blame(problem, undoPath, "cannot be written");
    }
    const char* refusal = TargetProblem(*undo, patchInfo, others, 2);
    // A result not there yet is known by its folder and its name.
    if (!refusal && !dest.exists && SamePlace(undo, &dest))
        refusal = "is the file being patched or its result";
    if (!refusal && fit.state == FIT_APPLIED)
        refusal = "nothing to undo: the file is already patched";
    if (!refusal)
        return 1;
    AbandonReplace(undo);
    return Refuse(problem, undoPath, refusal);
}

// Begins the result's replacement and, with `undoPath`, the undo patch's;
// after a refusal neither is begun. In place, the result is begun from the
// file that was read; an output that is that file by another name is
// compared with it as it was read too.
static int BeginResults(const char* destPath, const char* undoPath, FILE* file, const FileInfo& patchInfo,
                        const FileInfo& fileInfo, const PatchFit& fit, Replacement* dest, Replacement* undo,
                        Problem* problem)
{
    if (!BeginReplace(destPath, file, file ? &fileInfo : NULL, dest, problem))
        return dest->changed ? RefuseChanged(problem, destPath) : Blame(problem, destPath, "cannot be written");
    if (dest->exists && SameFile(dest->info, fileInfo))
        dest->info = fileInfo;
    const char* refusal = TargetProblem(*dest, patchInfo, NULL, 0);
    if (refusal)
        Refuse(problem, destPath, refusal);
    else if (!undoPath || BeginUndo(undoPath, undo, *dest, patchInfo, fileInfo, fit, problem))
        return 1;
    AbandonReplace(dest);
    return 0;
}

// Moves the results into place and says how that went: a result left in
// place without its undo patch, and old contents left behind, are told with
// the name they are left under.
static int CommitResults(Replacement* dest, const char* destPath, Replacement* undo, const char* undoPath,
                         PatchFit* fit, Problem* problem)
{
    char what[PROBLEM_TEXT_SIZE];
    long otherNames = dest->otherNames;
    Replacement* failed;
    if (!CommitReplace(dest, undoPath ? undo : NULL, &failed, problem)) {
        const char* path = failed == dest ? destPath : undoPath;
        if (failed->unflushed)
            return Blame(problem, path, failed == dest ? PatchedUnflushed : WrittenUnflushed);
        if (dest->placed)
            snprintf(what, sizeof what, "patched, but the undo patch was not written%s%s",
                     dest->kept[0] ? "; the old contents are kept as " : "", dest->kept);
        else if (failed->kept[0])
            snprintf(what, sizeof what, "cannot be written; the old contents are kept as %s", failed->kept);
        else
            return failed->changed ? RefuseChanged(problem, path) : Blame(problem, path, "cannot be written");
        return Blame(problem, dest->placed ? destPath : path, what);
    }
    fit->otherNames = otherNames;
    Replacement* left = dest->kept[0] ? dest : undoPath && undo->kept[0] ? undo : NULL;
    fit->noted = left != NULL;
    if (left) {
        snprintf(what, sizeof what, "the old contents are left as %s", left->kept);
        Blame(problem, left == dest ? destPath : undoPath, what);
    }
    return 1;
}

int ApplyThroughCopy(const char* patchPath, const char* filePath, const char* outputPath, const char* undoPath,
                     unsigned codePage, int anyName, int force, Progress* progress, PatchFit* fit, ApplyWork* work,
                     Problem* problem)
{
    PatchContents& patch = work->patch;
    Replacement &dest = work->dest, &undo = work->undo;
    FileInfo patchInfo, fileInfo;
    if (!LoadPatchFile(patchPath, codePage, &work->patchSpace, &patch, &patchInfo, problem))
        return 0;
    // A file patched in place is held from before it is read until its result is in place.
    FILE* file = OpenAndJudge(filePath, patch, work->oldBytes, anyName, force, !outputPath, fit, &fileInfo, problem);
    if (!file)
        return 0;
    fit->otherNames = 0;
    fit->noted = 0;
    const char* destPath = outputPath ? outputPath : filePath;
    int begun = BeginResults(destPath, undoPath, outputPath ? NULL : file, patchInfo, fileInfo, *fit, &dest, &undo,
                             problem);
    // Already applied: the file stays as it is, and an output is a plain copy.
    int nothingToWrite = fit->state == FIT_APPLIED && (!outputPath || (dest.exists && SameFile(dest.info, fileInfo)));
    if (!begun || nothingToWrite) {
        fclose(file);
        if (begun)
            AbandonReplace(&dest);
        return begun;
    }

    int done = CopyPatched(file, filePath, fileInfo.size, dest.file, destPath, patch, work->block, progress, problem);
    if (done && undoPath) {
        size_t length = EncodeUndoPatch(patch, work->oldBytes, patchPath, work->undoBytes);
        if (fwrite(work->undoBytes, 1, length, undo.file) != length) {
            NoteSystemError(problem);
            done = Blame(problem, undoPath, "cannot be written");
        }
    }
    if (!done) {
        AbandonReplace(&dest);
        if (undoPath)
            AbandonReplace(&undo);
    }
    done = done && CommitResults(&dest, destPath, &undo, undoPath, fit, problem);
    fclose(file);
    return done;
}

int CheckWritable(const char* filePath, Problem* problem)
{
    Replacement probe;
    if (!BeginReplace(filePath, NULL, NULL, &probe, problem))
        return Blame(problem, filePath, "cannot be written");
    AbandonReplace(&probe);
    return 1;
}
