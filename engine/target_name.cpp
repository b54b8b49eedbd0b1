#include "target_name.h"

#include "platform.h"

#include <cstring>

static char UpperAscii(char ch)
{
    return (ch >= 'a' && ch <= 'z') ? static_cast<char>(ch - 0x20) : ch;
}

// The name follows the last backslash. A path typed without one (a bare
// name, "C:name.exe", a path with forward slashes) is split at the last
// '/' or ':' instead, or taken whole.
static const char* LastComponent(const char* path)
{
    const char* name = strrchr(path, '\\');
    if (!name) {
        const char* slash = strrchr(path, '/');
        const char* colon = strrchr(path, ':');
        name = (slash && (!colon || slash > colon)) ? slash : colon;
    }
    return name ? name + 1 : path;
}

TargetName DeriveTargetName(const char* originalPath)
{
    static const char shortTail[] = "~1.EXE";
    TargetName field;
    memset(field.bytes, 0, sizeof field.bytes);

    const char* name = LastComponent(originalPath);
    size_t length = strlen(name);
    size_t kept = length <= TARGET_NAME_SIZE - 1 ? length : 6;
    for (size_t i = 0; i < kept; i++)
        field.bytes[i] = UpperAscii(name[i]);
    if (length > TARGET_NAME_SIZE - 1)
        memcpy(field.bytes + kept, shortTail, sizeof shortTail - 1);
    return field;
}

TargetName StoredTargetName(const char* path)
{
    static char stored[4096];
    ToPatchText(path, stored, sizeof stored);
    return DeriveTargetName(stored);
}
