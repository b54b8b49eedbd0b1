#include "patch_apply.h"

#include "platform.h"
#include "target_name.h"
#include "warning.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

enum {
    WINDOW_SIZE = 1 << 16, // the most read at once to get the bytes at nearby positions
    CHUNK_SIZE = 1 << 16,  // the copy's unit: the system copies chunks without a position
    BLOCK_SIZE = 1 << 20   // the most that passes through this process at once
};

static unsigned char PatchFile[MAX_READ_PATCH_SIZE];
static unsigned char OldBytes[MAX_PATCH_RECORDS];
static unsigned char Block[BLOCK_SIZE];
static PatchRecord UndoRecords[MAX_PATCH_RECORDS];
static unsigned char UndoBytes[MAX_PATCH_SIZE];

static void WarnAbout(void* owner, const char* path, const char* problem)
{
    ShowWarning(owner, path, problem, NULL);
}

static int LoadPatchFile(void* owner, const char* patchPath, PatchContents* patch, FileInfo* fileInfo)
{
    FileInfo& info = *fileInfo;
    FILE* file = OpenInputFile(patchPath, &info);
    if (!file) {
        WarnAbout(owner, patchPath, "cannot be opened as a file");
        return 0;
    }
    size_t length = 0;
    int readable = info.size <= MAX_READ_PATCH_SIZE;
    if (readable) {
        long got = ReadAt(file, PatchFile, MAX_READ_PATCH_SIZE, 0);
        readable = got >= 0;
        length = readable ? static_cast<size_t>(got) : 0;
        // A file that grew past the limit since it was measured is no patch either.
        unsigned char extra;
        if (readable && length == MAX_READ_PATCH_SIZE && ReadAt(file, &extra, 1, length) != 0)
            info.size = MAX_READ_PATCH_SIZE + 1LL;
    }
    fclose(file);
    if (info.size > MAX_READ_PATCH_SIZE) {
        WarnAbout(owner, patchPath, "larger than 1 MiB: not a patch");
        return 0;
    }
    if (!readable) {
        WarnAbout(owner, patchPath, "cannot be read");
        return 0;
    }
    char refusal[REFUSAL_SIZE];
    if (!ReadPatchBytes(PatchFile, length, patch, refusal)) {
        WarnAbout(owner, patchPath, refusal);
        return 0;
    }
    return 1;
}

int LoadPatch(void* owner, const char* patchPath, PatchContents* patch)
{
    FileInfo info;
    return LoadPatchFile(owner, patchPath, patch, &info);
}

int JudgeFit(const PatchContents& patch, const unsigned char* oldBytes, int anyName, int force,
             PatchFit* fit, char* refusal)
{
    if (patch.distinct > 0 && patch.positions[patch.distinct - 1].offset >= fit->fileSize) {
        snprintf(refusal, REFUSAL_SIZE, "offset 0x%08X is past the end of the file (%lld bytes)",
                 static_cast<unsigned>(patch.positions[patch.distinct - 1].offset), fit->fileSize);
        return 0;
    }
    if (!anyName && strncmp(patch.name.bytes, fit->fileName.bytes, TARGET_NAME_SIZE) != 0) {
        snprintf(refusal, REFUSAL_SIZE, "the patch is for %.12s, this file's name gives %.12s",
                 patch.name.bytes, fit->fileName.bytes);
        return 0;
    }
    fit->applied = 0;
    for (unsigned i = 0; i < patch.distinct; i++)
        fit->applied += oldBytes[i] == patch.positions[i].value;
    // A patch with no records changes nothing: its target is as patched as it gets.
    fit->state = fit->applied == patch.distinct ? FIT_APPLIED
                 : fit->applied == 0           ? FIT_NOT_APPLIED
                                               : FIT_PARTLY_APPLIED;
    if (fit->state == FIT_PARTLY_APPLIED && !force) {
        snprintf(refusal, REFUSAL_SIZE,
                 "%u of %u records already hold their new value: this is neither the file the patch "
                 "was made from nor the patched file",
                 fit->applied, patch.distinct);
        return 0;
    }
    return 1;
}

// The file's bytes at one share of the patch's positions, in ascending
// order. Positions within 64 KiB of each other are read in one piece: a
// system call costs about as much as copying that many bytes.
struct GatherShare {
    FILE* file;
    const PatchRecord* positions;
    unsigned first, end;
    unsigned char* window;
    int ok;
};

static void GatherOldBytes(void* argument)
{
    GatherShare* share = static_cast<GatherShare*>(argument);
    const PatchRecord* positions = share->positions;
    share->ok = 1;
    for (unsigned first = share->first, next; first < share->end; first = next) {
        long long start = positions[first].offset;
        next = first + 1;
        while (next < share->end && positions[next].offset - start < WINDOW_SIZE)
            next++;
        long span = static_cast<long>(positions[next - 1].offset - start) + 1;
        if (ReadAt(share->file, share->window, static_cast<size_t>(span), start) != span) {
            share->ok = 0;
            return;
        }
        for (unsigned i = first; i < next; i++)
            OldBytes[i] = share->window[positions[i].offset - start];
    }
}

// Fills OldBytes. Scattered positions cost a system call each, so two
// threads share them.
static int ReadOldBytes(FILE* file, const PatchContents& patch)
{
    static unsigned char windows[2][WINDOW_SIZE];
    unsigned middle = patch.distinct / 2;
    GatherShare shares[2] = {
        {file, patch.positions, 0, middle, windows[0], 0},
        {file, patch.positions, middle, patch.distinct, windows[1], 0},
    };
    RunInParallel(GatherOldBytes, &shares[0], &shares[1]);
    return shares[0].ok && shares[1].ok;
}

// Opens the file and judges the patch against it; the file stays open for
// the caller on success.
static FILE* OpenAndJudge(void* owner, const char* filePath, const PatchContents& patch, int anyName,
                          int force, PatchFit* fit, FileInfo* info)
{
    FILE* file = OpenInputFile(filePath, info);
    if (!file) {
        WarnAbout(owner, filePath, "cannot be opened as a file");
        return NULL;
    }
    fit->fileSize = info->size;
    fit->fileName = StoredTargetName(filePath);
    int past = patch.distinct > 0 && patch.positions[patch.distinct - 1].offset >= info->size;
    if (!past && !ReadOldBytes(file, patch)) {
        fclose(file);
        WarnAbout(owner, filePath, "cannot be read");
        return NULL;
    }
    char refusal[REFUSAL_SIZE];
    if (!JudgeFit(patch, OldBytes, anyName, force, fit, refusal)) {
        fclose(file);
        WarnAbout(owner, filePath, refusal);
        return NULL;
    }
    return file;
}

int CheckPatch(void* owner, const char* patchPath, const char* filePath, int anyName, int force,
               PatchContents* patch, PatchFit* fit)
{
    FileInfo info;
    if (!LoadPatch(owner, patchPath, patch))
        return 0;
    FILE* file = OpenAndJudge(owner, filePath, *patch, anyName, force, fit, &info);
    if (!file)
        return 0;
    fclose(file);
    return 1;
}

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
    ToPatchText(comment, stored, sizeof stored);
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
