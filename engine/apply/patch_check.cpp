#include "patch_apply.h"
#include "patch_judging.h"

#include "patch_text.h"
#include "platform.h"
#include "target_name.h"
#include "warning.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

enum { WINDOW_SIZE = 1 << 16 }; // the most read at once to get the bytes at nearby positions

static unsigned char PatchFile[MAX_READ_PATCH_SIZE];
unsigned char OldBytes[MAX_PATCH_RECORDS];

void WarnAbout(void* owner, const char* path, const char* problem)
{
    ShowWarning(owner, path, problem, NULL);
}

int LoadPatchFile(void* owner, const char* patchPath, PatchContents* patch, FileInfo* fileInfo)
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

int PastTheEnd(const PatchContents& patch, long long size)
{
    return patch.distinct > 0 && patch.positions[patch.distinct - 1].offset >= size;
}

int JudgeFit(const PatchContents& patch, const unsigned char* oldBytes, int anyName, int force,
             PatchFit* fit, char* refusal)
{
    if (PastTheEnd(patch, fit->fileSize)) {
        snprintf(refusal, REFUSAL_SIZE, "offset 0x%08X is past the end of the file (%lld bytes)",
                 static_cast<unsigned>(patch.positions[patch.distinct - 1].offset), fit->fileSize);
        return 0;
    }
    if (!anyName && strncmp(patch.name.bytes, fit->fileName.bytes, TARGET_NAME_SIZE) != 0) {
        char target[SHOWN_NAME_SIZE], given[SHOWN_NAME_SIZE];
        ShowPatchText(reinterpret_cast<const unsigned char*>(patch.name.bytes), strlen(patch.name.bytes), target,
                      sizeof target, SelectedCodePage());
        ShowPatchText(reinterpret_cast<const unsigned char*>(fit->fileName.bytes), strlen(fit->fileName.bytes), given,
                      sizeof given, SelectedCodePage());
        snprintf(refusal, REFUSAL_SIZE, "the patch is for %s, this file's name gives %s", target, given);
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
FILE* OpenAndJudge(void* owner, const char* filePath, const PatchContents& patch, int anyName,
                   int force, PatchFit* fit, FileInfo* info)
{
    FILE* file = OpenInputFile(filePath, info);
    if (!file) {
        WarnAbout(owner, filePath, "cannot be opened as a file");
        return NULL;
    }
    fit->fileSize = info->size;
    fit->fileName = StoredTargetName(filePath);
    if (!PastTheEnd(patch, info->size) && !ReadOldBytes(file, patch)) {
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
