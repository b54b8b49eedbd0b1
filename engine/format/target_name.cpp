#include "target_name.h"

#include "path_name.h"
#include "patch_text.h"

#include <cstring>

static char UpperAscii(char ch)
{
    return (ch >= 'a' && ch <= 'z') ? static_cast<char>(ch - 0x20) : ch;
}

// The upper-cased name, shortened when longer than 12 bytes, whole characters
// of `codePage` kept (the second byte of a double-byte character is neither
// cut off nor upper-cased). `*kept` is how many of the name's bytes it keeps.
static TargetName ShortName(const char* name, size_t length, unsigned codePage, size_t* kept)
{
    static const char shortTail[] = "~1.EXE";
    TargetName field;
    memset(field.bytes, 0, sizeof field.bytes);

    size_t most = length <= TARGET_NAME_SIZE - 1 ? length : 6;
    size_t& at = *kept;
    at = 0;
    while (at < most) {
        size_t width = PatchCharLength(name + at, codePage);
        if (at + width > most)
            break;
        field.bytes[at] = width == 1 ? UpperAscii(name[at]) : name[at];
        if (width == 2)
            field.bytes[at + 1] = name[at + 1];
        at += width;
    }
    if (length > TARGET_NAME_SIZE - 1)
        memcpy(field.bytes + at, shortTail, sizeof shortTail - 1);
    return field;
}

TargetName DeriveTargetName(const char* originalPath, unsigned codePage, int* lost)
{
    char stored[4096], lostAt[4096];
    ToPatchTextMarked(originalPath, stored, sizeof stored, codePage, lostAt);
    const char* name = LastComponent(stored);
    size_t kept;
    TargetName field = ShortName(name, NameLength(name), codePage, &kept);
    // Only what the name keeps counts: a folder's or a cut tail's characters are not stored.
    if (lost)
        *lost = memchr(lostAt + (name - stored), 1, kept) != NULL;
    return field;
}

const char* ShownName(const TargetName& name, char* out, unsigned codePage)
{
    if (!name.bytes[0])
        return strcpy(out, "(none)");
    ShowPatchText(reinterpret_cast<const unsigned char*>(name.bytes), strnlen(name.bytes, TARGET_NAME_SIZE), out,
                  SHOWN_NAME_SIZE, codePage);
    return out;
}
