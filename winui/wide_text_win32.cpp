#include "wide_text.h"

#include <climits>
#include <windows.h>

// Declared for Vista and later; a process runs under the UTF-8 code page only
// on Windows 10 and later.
#ifndef WC_ERR_INVALID_CHARS
#define WC_ERR_INVALID_CHARS 0x00000080
#endif

const char CannotPassOn[] = "The file name holds characters this system can't pass on!";

int FromWideText(const wchar_t* wide, char* out, size_t size)
{
    int room = size > INT_MAX ? INT_MAX : static_cast<int>(size);
    BOOL lacked = FALSE;
    // UTF-8 has every character, and reports a lone surrogate as an error;
    // any other code page must say when it fell back to a look-alike.
    int converted = GetACP() == CP_UTF8
                        ? WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide, -1, out, room, NULL, NULL)
                        : WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide, -1, out, room, NULL, &lacked);
    if (converted && !lacked)
        return 1;
    if (size)
        out[0] = '\0';
    return 0;
}
