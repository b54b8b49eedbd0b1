#include "patch_text.h"

#include "win32_files.h"

#include <cstring>

static unsigned Selected;

void SelectCodePage(unsigned codePage)
{
    Selected = codePage;
}

unsigned SelectedCodePage()
{
    return Selected;
}

UINT PatchCodePage()
{
    DWORD codePage = 0;
    if (!GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER,
                        reinterpret_cast<LPWSTR>(&codePage), sizeof codePage / sizeof(WCHAR))
        || codePage == CP_ACP)
        codePage = 1252;
    return codePage;
}

static UINT Resolved(unsigned codePage)
{
    return codePage ? codePage : PatchCodePage();
}

// Room for the longest comment a patch can hold.
static const int MostRead = 1 << 20;
static WCHAR Wide[MostRead];

// Converts UTF-16 one character (one unit, or a surrogate pair) at a time, so
// that each character `codePage` lacks becomes one '?' and a character that
// would not fit whole is left out.
static size_t FromWide(UINT codePage, const WCHAR* wide, int count, char* out, size_t size)
{
    size_t put = 0;
    for (int i = 0; i < count;) {
        int units = IS_HIGH_SURROGATE(wide[i]) && i + 1 < count && IS_LOW_SURROGATE(wide[i + 1]) ? 2 : 1;
        char bytes[8];
        BOOL lacked = FALSE;
        int length = codePage == CP_UTF8
                         ? WideCharToMultiByte(CP_UTF8, 0, wide + i, units, bytes, sizeof bytes, NULL, NULL)
                         : WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide + i, units, bytes, sizeof bytes,
                                               "?", &lacked);
        if (length <= 0 || lacked)
            bytes[0] = '?', length = 1;
        if (put + static_cast<size_t>(length) > size - 1)
            break;
        memcpy(out + put, bytes, static_cast<size_t>(length));
        put += static_cast<size_t>(length);
        i += units;
    }
    out[put] = '\0';
    return put;
}

static int ToWide(UINT codePage, const char* text, size_t length)
{
    int read = static_cast<int>(length < static_cast<size_t>(MostRead) ? length : MostRead);
    return read ? MultiByteToWideChar(codePage, 0, text, read, Wide, MostRead) : 0;
}

size_t ToPatchText(const char* text, char* out, size_t size, unsigned codePage)
{
    // The text is in the process's code page: UTF-8 under its manifest, or ANSI.
    int count = ToWide(GetACP(), text, strnlen(text, MostRead));
    return FromWide(Resolved(codePage), Wide, count, out, size);
}

size_t FromPatchText(const unsigned char* text, size_t length, char* out, size_t size, unsigned codePage)
{
    int count = ToWide(Resolved(codePage), reinterpret_cast<const char*>(text), length);
    // A C1 control (a byte 1252 leaves undefined gives one) could drive a
    // terminal as an escape does.
    for (int i = 0; i < count; i++)
        if (Wide[i] >= 0x80 && Wide[i] <= 0x9F)
            Wide[i] = L'?';
    return FromWide(GetACP(), Wide, count, out, size);
}

size_t PatchCharLength(const char* text, unsigned codePage)
{
    return IsDBCSLeadByteEx(Resolved(codePage), static_cast<BYTE>(text[0])) && text[1] ? 2 : 1;
}

int KnownCodePage(unsigned codePage)
{
    static const char ascii[] = " !\"#$%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_`abcdefghijklmnopqrstuvwxyz{|}~";
    UINT page = Resolved(codePage);
    CPINFO info;
    // Single- and double-byte pages only: UTF-7 and UTF-8 take more a character.
    if (!IsValidCodePage(page) || !GetCPInfo(page, &info) || info.MaxCharSize > 2)
        return 0;
    WCHAR wide[sizeof ascii];
    for (size_t i = 0; i < sizeof ascii; i++)
        wide[i] = static_cast<WCHAR>(ascii[i]);
    char back[2 * sizeof ascii];
    return FromWide(page, wide, sizeof ascii - 1, back, sizeof back) == sizeof ascii - 1 && strcmp(back, ascii) == 0;
}
