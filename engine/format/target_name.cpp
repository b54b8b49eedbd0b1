#include "target_name.h"

#include "patch_text.h"

#include <cstring>

static char UpperAscii(char ch)
{
    return (ch >= 'a' && ch <= 'z') ? static_cast<char>(ch - 0x20) : ch;
}

// The upper-cased name, shortened when longer than 12 bytes, whole characters
// of the selected code page kept (the second byte of a double-byte character
// is neither cut off nor upper-cased).
static TargetName ShortName(const char* name, size_t length)
{
    static const char shortTail[] = "~1.EXE";
    TargetName field;
    memset(field.bytes, 0, sizeof field.bytes);

    size_t most = length <= TARGET_NAME_SIZE - 1 ? length : 6;
    size_t kept = 0;
    while (kept < most) {
        size_t width = PatchCharLength(name + kept, SelectedCodePage());
        if (kept + width > most)
            break;
        field.bytes[kept] = width == 1 ? UpperAscii(name[kept]) : name[kept];
        if (width == 2)
            field.bytes[kept + 1] = name[kept + 1];
        kept += width;
    }
    if (length > TARGET_NAME_SIZE - 1)
        memcpy(field.bytes + kept, shortTail, sizeof shortTail - 1);
    return field;
}

// The last component as the system opening the path sees it. Linux splits only
// at '/', a backslash being part of a name. Windows splits at '\\' and '/' (or a
// drive's ':' without either), and drops the trailing dots and spaces it ignores when opening.
static TargetName SystemTargetName(const char* path)
{
#ifdef _WIN32
    const char* name = NULL;
    for (const char* at = path; *at; at++)
        if (*at == '\\' || *at == '/')
            name = at + 1;
    if (!name) {
        const char* colon = strrchr(path, ':');
        name = colon ? colon + 1 : path;
    }
    size_t length = strlen(name);
    while (length > 0 && (name[length - 1] == '.' || name[length - 1] == ' '))
        length--;
    return ShortName(name, length);
#else
    const char* slash = strrchr(path, '/');
    const char* name = slash ? slash + 1 : path;
    return ShortName(name, strlen(name));
#endif
}

TargetName DeriveTargetName(const char* originalPath)
{
    static char stored[4096];
    ToPatchText(originalPath, stored, sizeof stored, SelectedCodePage());
    return SystemTargetName(stored);
}
