// Why the check refuses a fit, in the engine's words.
#include "patch_judging.h"

#include "patch_text.h"
#include "target_name.h"

#include <cstdio>
#include <cstring>

int FitRefused(const PatchContents& patch, const PatchFit& fit, int anyName, int force, char* refusal)
{
    if (fit.state == FIT_PAST_END) {
        snprintf(refusal, REFUSAL_SIZE, "offset 0x%08X is past the end of the file (%lld bytes)",
                 static_cast<unsigned>(patch.positions[patch.distinct - 1].offset), fit.fileSize);
        return 1;
    }
    if (!anyName && !fit.sameName) {
        char target[SHOWN_NAME_SIZE], given[SHOWN_NAME_SIZE];
        snprintf(refusal, REFUSAL_SIZE, "the patch is for %s, this file's name gives %s",
                 ShownName(patch.name, target, patch.codePage),
                 ShownName(fit.fileName, given, patch.codePage));
        return 1;
    }
    if (fit.state == FIT_PARTLY_APPLIED && !force) {
        snprintf(refusal, REFUSAL_SIZE,
                 "%u of %u records already hold their new value: this is neither the file the patch "
                 "was made from nor the patched file",
                 fit.applied, patch.distinct);
        return 1;
    }
    return 0;
}
