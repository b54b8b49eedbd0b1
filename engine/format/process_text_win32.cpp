#include "process_text.h"

#include "patch_text.h"

#include <windows.h>

// The process's code page: UTF-8 under the programs' manifest, else ANSI.
size_t ReadProcessChar(const char* text, size_t length, unsigned* point)
{
    UINT codePage = GetACP();
    if (codePage == CP_UTF8)
        return ReadUtf8Char(text, length, point);
    int width = IsDBCSLeadByteEx(codePage, static_cast<BYTE>(text[0])) && length >= 2 ? 2 : 1;
    WCHAR wide[2];
    if (MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text, width, wide, 2) != 1) {
        *point = '?';
        return 1;
    }
    *point = wide[0];
    return static_cast<size_t>(width);
}

size_t WriteProcessChar(unsigned point, char* out)
{
    UINT codePage = GetACP();
    if (codePage == CP_UTF8)
        return WriteUtf8Char(point, out);
    if (point > 0xFFFF)
        return 0;
    WCHAR wide = static_cast<WCHAR>(point);
    BOOL lacked = FALSE;
    // No look-alikes: a character the code page lacks is lacking.
    int length = WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, &wide, 1, out, PROCESS_CHAR_MOST, "?", &lacked);
    return length > 0 && !lacked ? static_cast<size_t>(length) : 0;
}

// The user's ANSI code page, the one programs that are not Unicode use,
// where it is offered.
unsigned DefaultCodePage()
{
    DWORD codePage = 0;
    if (!GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER,
                        reinterpret_cast<LPWSTR>(&codePage), sizeof codePage / sizeof(WCHAR))
        || !KnownCodePage(codePage))
        codePage = 1252;
    return codePage;
}
