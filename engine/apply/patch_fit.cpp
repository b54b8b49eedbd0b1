// How a patch meets a file, from bytes already read: no file is touched here.
#include "patch_apply.h"

#include "patch_text.h"

#include <cstdio>
#include <cstring>

int PastTheEnd(const PatchContents& patch, long long size)
{
    return patch.distinct > 0 && patch.positions[patch.distinct - 1].offset >= size;
}

static const char* ShownName(const TargetName& name, char* out)
{
    ShowPatchText(reinterpret_cast<const unsigned char*>(name.bytes), strnlen(name.bytes, TARGET_NAME_SIZE), out,
                  SHOWN_NAME_SIZE, SelectedCodePage());
    return out;
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
        snprintf(refusal, REFUSAL_SIZE, "the patch is for %s, this file's name gives %s", ShownName(patch.name, target),
                 ShownName(fit->fileName, given));
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
