// What a patch's text loses to its code page, told before and after it is made.
#include "patch_builder.h"

#include "patch_format.h"
#include "patch_text.h"
#include "process_text.h"
#include "target_name.h"

#include <cstdio>

int LostCharacters(const char* originalPath, const char* comment, unsigned codePage)
{
    char stored[MAX_COMMENT_LENGTH + 1];
    int nameLost = 0, commentLost = 0;
    DeriveTargetName(originalPath, codePage, &nameLost);
    ToPatchText(comment, stored, sizeof stored, codePage, &commentLost);
    return (nameLost ? LOST_NAME : 0) | (commentLost ? LOST_COMMENT : 0);
}

void LostWarning(int lost, unsigned codePage, char* out, size_t size)
{
    const char* what = lost == (LOST_NAME | LOST_COMMENT) ? "the target name and the comment hold"
                       : lost == LOST_NAME                ? "the target name holds"
                                                          : "the comment holds";
    snprintf(out, size, "%s characters code page %u cannot store; they are written as '?'", what,
             codePage ? codePage : DefaultCodePage());
}
