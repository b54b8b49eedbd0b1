#include "resource.h"
#include "warning.h"
#include "win_shared.h"

#include <cstring>

// Returns 1 when `ansiText` is `wideText` exactly.
static int PassesOn(const wchar_t* wideText, const char* ansiText)
{
    static char exactText[TEXT_BUFFER_SIZE];
    BOOL usedDefaultChar = FALSE;
    return WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wideText, -1, exactText, TEXT_BUFFER_SIZE, NULL,
                               &usedDefaultChar)
           && !usedDefaultChar && strcmp(exactText, ansiText) == 0;
}

static void WarnCannotPassOn(HWND window)
{
    ShowWarning(window, "The file name holds characters this system can't pass on!");
}

int ReadPathField(HWND window, int field, char* pathBuffer, int warn)
{
    static char fieldText[TEXT_BUFFER_SIZE];
    static wchar_t wideText[TEXT_BUFFER_SIZE];
    GetDlgItemTextA(window, field, fieldText, TEXT_BUFFER_SIZE);
    if (GetACP() != CP_UTF8) {
        GetDlgItemTextW(window, field, wideText, TEXT_BUFFER_SIZE);
        if (!PassesOn(wideText, fieldText)) {
            if (warn)
                WarnCannotPassOn(window);
            return 0;
        }
    }
    strcpy(pathBuffer, fieldText);
    return 1;
}

int DroppedPath(HWND window, HDROP drop, UINT index, char* pathBuffer)
{
    static char droppedPath[TEXT_BUFFER_SIZE];
    static wchar_t wideText[TEXT_BUFFER_SIZE];
    if (DragQueryFileA(drop, index, NULL, 0) >= TEXT_BUFFER_SIZE)
        return 0;
    DragQueryFileA(drop, index, droppedPath, TEXT_BUFFER_SIZE);
    if (GetACP() != CP_UTF8) {
        DragQueryFileW(drop, index, wideText, TEXT_BUFFER_SIZE);
        if (!PassesOn(wideText, droppedPath)) {
            WarnCannotPassOn(window);
            return 0;
        }
    }
    strcpy(pathBuffer, droppedPath);
    return 1;
}

int FromWideText(const wchar_t* wideText, char* out)
{
    static char converted[TEXT_BUFFER_SIZE];
    if (wcslen(wideText) > TEXT_LIMIT)
        return 0;
    // The UTF-8 code page takes no flags; any other must not fall back to look-alikes.
    int utf8 = GetACP() == CP_UTF8;
    BOOL usedDefaultChar = FALSE;
    if (!WideCharToMultiByte(CP_ACP, utf8 ? 0 : WC_NO_BEST_FIT_CHARS, wideText, -1, converted, TEXT_BUFFER_SIZE,
                             NULL, utf8 ? NULL : &usedDefaultChar)
        || usedDefaultChar)
        return 0;
    strcpy(out, converted);
    return 1;
}

void SetProgramIcons(HWND window, HINSTANCE instance)
{
    static const int sizes[][3] = {{ICON_BIG, SM_CXICON, SM_CYICON}, {ICON_SMALL, SM_CXSMICON, SM_CYSMICON}};
    for (const auto& size : sizes) {
        HANDLE icon = LoadImageA(instance, MAKEINTRESOURCEA(IDI_MORVEX), IMAGE_ICON, GetSystemMetrics(size[1]),
                                 GetSystemMetrics(size[2]), 0);
        if (icon)
            SendMessageA(window, WM_SETICON, size[0], reinterpret_cast<LPARAM>(icon));
    }
}
