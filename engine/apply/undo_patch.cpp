#include "patch_verdict.h"

#include "patch_core.h"
#include "patch_text.h"
#include "path_name.h"

#include <cstdio>
#include <cstring>

int UndoPatchPath(const char* patchPath, const char* filePath, char* out, size_t size)
{
    const char* name = LastComponent(patchPath);
    const char* dot = strrchr(name, '.');
    size_t stem = dot && dot != name ? static_cast<size_t>(dot - name) : strlen(name);
    int folder = static_cast<int>(LastComponent(filePath) - filePath);
    int length = snprintf(out, size, "%.*s%.*s-undo%s", folder, filePath, static_cast<int>(stem), name, name + stem);
    return length >= 0 && static_cast<size_t>(length) < size;
}

void UndoComment(const char* patchPath, unsigned codePage, char* out, int* lost)
{
    char comment[1024];
    snprintf(comment, sizeof comment, "undoes %s", LastComponent(patchPath));
    ToPatchText(comment, out, MAX_COMMENT_LENGTH + 1, codePage, lost);
}

size_t EncodeUndoPatch(const PatchContents& patch, const unsigned char* oldBytes, const char* patchPath, unsigned char* out)
{
    char stored[MAX_COMMENT_LENGTH + 1];
    UndoComment(patchPath, patch.codePage, stored, NULL);
    return EncodeUndo(patch.name, patch.positions, patch.distinct, oldBytes, stored, out);
}
