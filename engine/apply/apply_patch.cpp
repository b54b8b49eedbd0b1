// Writing the results of an apply: the patched copy and the undo patch.
#include "patch_apply.h"
#include "patch_judging.h"
#include "patch_text.h"
#include "patch_verdict.h"

#include "file_replace.h"
#include "platform.h"
#include "warning.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

enum {
    CHUNK_SIZE = 1 << 16, // the copy's unit: the system copies chunks without a position
    BLOCK_SIZE = 1 << 20  // the most that passes through this process at once
};

static unsigned char Block[BLOCK_SIZE];
static unsigned char UndoBytes[MAX_PATCH_SIZE];

enum { COPY_WRITE_FAILED = -1, COPY_READ_FAILED = 0, COPY_DONE = 1 };

// Whether a failed copy between files failed in the writing.
static int WriteFailed()
{
#ifdef EDQUOT
    if (errno == EDQUOT)
        return 1;
#endif
    return errno == ENOSPC || errno == EFBIG;
}

// Copies the file's `size` bytes to `out`, each position's new value laid
// over it. Chunks holding no position are left to the system to copy; runs
// of chunks that hold one pass through Block. Fails on a read or write
// error, or when the file no longer has exactly `size` bytes.
static int CopyPatched(FILE* file, long long size, FILE* out, const PatchContents& patch)
{
    const PatchRecord* positions = patch.positions;
    unsigned next = 0;
    for (long long at = 0; at < size;) {
        long long nextOffset = next < patch.distinct ? positions[next].offset : size;
        long long plainEnd = std::min(size, nextOffset - nextOffset % CHUNK_SIZE);
        if (plainEnd > at) {
            if (!AppendFileRange(file, at, plainEnd - at, out))
                return WriteFailed() ? COPY_WRITE_FAILED : COPY_READ_FAILED;
            at = plainEnd;
            continue;
        }
        long long end = std::min(size, at + CHUNK_SIZE);
        unsigned last = next;
        for (;;) {
            while (last < patch.distinct && positions[last].offset < end)
                last++;
            if (end == size || end - at == BLOCK_SIZE || last == patch.distinct
                || positions[last].offset >= end + CHUNK_SIZE)
                break;
            end = std::min(size, end + CHUNK_SIZE);
        }
        size_t length = static_cast<size_t>(end - at);
        if (ReadAt(file, Block, length, at) != static_cast<long>(length))
            return COPY_READ_FAILED;
        for (; next < last; next++)
            Block[positions[next].offset - at] = positions[next].value;
        if (fwrite(Block, 1, length, out) != length)
            return COPY_WRITE_FAILED;
        at = end;
    }
    unsigned char extra;
    return ReadAt(file, &extra, 1, size) == 0 ? COPY_DONE : COPY_READ_FAILED;
}

static int WriteAll(FILE* out, const void* bytes, size_t length)
{
    return fwrite(bytes, 1, length, out) == length;
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

int ApplyPatch(void* owner, const char* patchPath, const char* filePath, const char* outputPath,
               const char* undoPath, int anyName, int force, PatchFit* fit)
{
    static PatchContents patch;
    static Replacement dest, undo;
    FileInfo patchInfo, fileInfo;
    if (!LoadPatchFile(owner, patchPath, &patch, &patchInfo))
        return 0;

    FILE* file = OpenAndJudge(owner, filePath, patch, anyName, force, fit, &fileInfo);
    if (!file)
        return 0;
    fit->otherNames = 0;
    const char* destPath = outputPath ? outputPath : filePath;
    if (!BeginReplace(destPath, &dest)) {
        fclose(file);
        ShowWarning(owner, destPath, "cannot be written", SystemReason());
        return 0;
    }
    const char* problem = TargetProblem(dest, patchInfo, NULL, 0);
    const char* problemPath = destPath;
    int undoBegun = 0;
    if (!problem && undoPath) {
        problemPath = undoPath;
        undoBegun = BeginReplace(undoPath, &undo);
        FileInfo others[2] = {fileInfo, dest.exists ? dest.info : fileInfo};
        if (!undoBegun)
            problem = "cannot be written";
        else
            problem = TargetProblem(undo, patchInfo, others, 2);
        // A result not there yet is known by its folder and its name.
        if (!problem && !dest.exists && SamePlace(&undo, &dest))
            problem = "is the file being patched or its result";
        if (!problem && fit->state == FIT_APPLIED)
            problem = "nothing to undo: the file is already patched";
    }
    // Already applied: the file stays as it is, and an output is a plain copy.
    int nothingToWrite = fit->state == FIT_APPLIED && (!outputPath || (dest.exists && SameFile(dest.info, fileInfo)));
    if (problem || nothingToWrite) {
        const char* reason = undoPath && !undoBegun ? SystemReason() : NULL;
        fclose(file);
        AbandonReplace(&dest);
        if (undoBegun)
            AbandonReplace(&undo);
        if (problem)
            ShowWarning(owner, problemPath, problem, reason);
        return !problem;
    }

    int copied = CopyPatched(file, fileInfo.size, dest.file, patch);
    const char* copyReason = strerror(errno);
    fclose(file);
    int written = copied == COPY_DONE
                  && (!undoPath || WriteAll(undo.file, UndoBytes, EncodeUndoPatch(patch, OldBytes, patchPath, UndoBytes)));
    if (!written) {
        const char* reason = copied == COPY_DONE ? strerror(errno) : copyReason;
        AbandonReplace(&dest);
        if (undoPath)
            AbandonReplace(&undo);
        if (copied == COPY_READ_FAILED)
            ShowWarning(owner, filePath, "cannot be read", reason);
        else
            ShowWarning(owner, copied == COPY_DONE ? undoPath : destPath, "cannot be written", reason);
        return 0;
    }
    long otherNames = dest.otherNames;
    Replacement* failed;
    if (!CommitReplace(&dest, undoPath ? &undo : NULL, &failed)) {
        const char* path = failed == &dest ? destPath : undoPath;
        if (failed->changed)
            ShowWarning(owner, path, SystemReason(), NULL);
        else
            ShowWarning(owner, path, "cannot be written", SystemReason());
        return 0;
    }
    fit->otherNames = otherNames;
    return 1;
}
