#include "target_name.h"

#include "path_name.h"
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

TargetName DeriveTargetName(const char* originalPath)
{
    static char stored[4096];
    ToPatchText(originalPath, stored, sizeof stored, SelectedCodePage());
    const char* name = LastComponent(stored);
    return ShortName(name, NameLength(name));
}

const char* ShownName(const TargetName& name, char* out, unsigned codePage)
{
    if (!name.bytes[0])
        return strcpy(out, "(none)");
    ShowPatchText(reinterpret_cast<const unsigned char*>(name.bytes), strnlen(name.bytes, TARGET_NAME_SIZE), out,
                  SHOWN_NAME_SIZE, codePage);
    return out;
}
