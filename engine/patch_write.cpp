// Writing the results of an apply: the patched copy and the undo patch.
#include "patch_apply.h"
#include "patch_judging.h"
#include "patch_text.h"

#include "platform.h"
#include "warning.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

enum {
    CHUNK_SIZE = 1 << 16, // the copy's unit: the system copies chunks without a position
    BLOCK_SIZE = 1 << 20  // the most that passes through this process at once
};

static unsigned char Block[BLOCK_SIZE];
static PatchRecord UndoRecords[MAX_PATCH_RECORDS];
static unsigned char UndoBytes[MAX_PATCH_SIZE];

// Copies the file's `size` bytes to `out`, each position's new value laid
// over it. Chunks holding no position are left to the system to copy; runs
// of chunks that hold one pass through Block. Returns 0 on a read or write
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
                return 0;
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
            return 0;
        for (; next < last; next++)
            Block[positions[next].offset - at] = positions[next].value;
        if (fwrite(Block, 1, length, out) != length)
            return 0;
        at = end;
    }
    unsigned char extra;
    return ReadAt(file, &extra, 1, size) == 0;
}

// Lays out the patch that puts back the bytes the patch changes.
static size_t EncodeUndo(const char* patchPath, const PatchContents& patch)
{
    unsigned count = 0;
    for (unsigned i = 0; i < patch.distinct; i++) {
        if (OldBytes[i] == patch.positions[i].value)
            continue;
        UndoRecords[count] = patch.positions[i];
        UndoRecords[count++].value = OldBytes[i];
    }
    const char* name = patchPath;
    for (const char* p = patchPath; *p; p++)
        if (*p == '/' || *p == '\\')
            name = p + 1;
    char comment[TEMP_PATH_SIZE], stored[MAX_COMMENT_LENGTH + 1];
    snprintf(comment, sizeof comment, "undoes %s", name);
    ToPatchText(comment, stored, sizeof stored, SelectedCodePage());
    return EncodePatch(UndoBytes, patch.name, UndoRecords, count, stored);
}

// Where the result and the undo patch go must be neither the patch nor, for
// the undo patch, the file or the result, however the paths are spelled.
static const char* TargetProblem(const char* path, const FileInfo& patchInfo, const FileInfo* others,
                                 int otherCount, FileInfo* info, int* exists)
{
    if (!ProbeWritablePath(path, info, exists))
        return "cannot be written";
    if (*exists && SameFile(*info, patchInfo))
        return "is the patch itself";
    for (int i = 0; i < otherCount; i++)
        if (*exists && SameFile(*info, others[i]))
            return "is the file being patched or its result";
    return NULL;
}

static int WriteAll(FILE* out, const void* bytes, size_t length)
{
    return fwrite(bytes, 1, length, out) == length;
}

int ApplyPatch(void* owner, const char* patchPath, const char* filePath, const char* outputPath,
               const char* undoPath, int anyName, int force, PatchFit* fit)
{
    static PatchContents patch;
    FileInfo patchInfo, fileInfo, destInfo, undoInfo;
    if (!LoadPatchFile(owner, patchPath, &patch, &patchInfo))
        return 0;

    FILE* file = OpenAndJudge(owner, filePath, patch, anyName, force, fit, &fileInfo);
    if (!file)
        return 0;
    const char* destPath = outputPath ? outputPath : filePath;
    int destExists, undoExists;
    const char* problem = TargetProblem(destPath, patchInfo, NULL, 0, &destInfo, &destExists);
    const char* problemPath = destPath;
    if (!problem && undoPath) {
        FileInfo others[2] = {fileInfo, destExists ? destInfo : fileInfo};
        problemPath = undoPath;
        problem = TargetProblem(undoPath, patchInfo, others, 2, &undoInfo, &undoExists);
        // A result not there yet is known by its folder and its name.
        if (!problem && !destExists && SameDestination(undoPath, destPath))
            problem = "is the file being patched or its result";
        if (!problem && fit->state == FIT_APPLIED)
            problem = "nothing to undo: the file is already patched";
    }
    // Already applied: the file stays as it is, and an output is a plain copy.
    int nothingToWrite = fit->state == FIT_APPLIED && (!outputPath || (destExists && SameFile(destInfo, fileInfo)));
    if (problem || nothingToWrite) {
        fclose(file);
        if (problem)
            WarnAbout(owner, problemPath, problem);
        return !problem;
    }

    char destTemp[TEMP_PATH_SIZE], undoTemp[TEMP_PATH_SIZE];
    FILE* out = CreateTempBeside(destPath, destTemp);
    if (!out) {
        fclose(file);
        WarnAbout(owner, destPath, "no temporary file can be made beside it");
        return 0;
    }
    int copied = CopyPatched(file, fileInfo.size, out, patch);
    fclose(file);
    int committed = CommitFile(out);
    if (!copied || !committed) {
        RemoveTemp(destTemp);
        char problem[TEMP_PATH_SIZE];
        snprintf(problem, sizeof problem, "cannot be copied whole to %s", destPath);
        WarnAbout(owner, copied ? destPath : filePath, copied ? "cannot be written" : problem);
        return 0;
    }
    if (undoPath) {
        FILE* undo = CreateTempBeside(undoPath, undoTemp);
        int written = undo && WriteAll(undo, UndoBytes, EncodeUndo(patchPath, patch));
        if (!undo || !CommitFile(undo) || !written || !MoveTempOver(undoTemp, undoPath)) {
            if (undo)
                RemoveTemp(undoTemp);
            RemoveTemp(destTemp);
            WarnAbout(owner, undoPath, "cannot be written");
            return 0;
        }
    }
    if (!MoveTempOver(destTemp, destPath)) {
        RemoveTemp(destTemp);
        WarnAbout(owner, destPath, "cannot be replaced");
        return 0;
    }
    return 1;
}
