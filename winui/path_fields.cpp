#include "resource.h"
#include "warning.h"
#include "win_shared.h"

#include <cstring>

static void WarnCannotPassOn(HWND window)
{
    ShowWarning(window, CannotPassOn);
}

int ReadPathField(HWND window, int field, char* pathBuffer, int warn)
{
    static wchar_t wideText[TEXT_BUFFER_SIZE];
    GetDlgItemTextW(window, field, wideText, TEXT_BUFFER_SIZE);
    static char fieldText[TEXT_BUFFER_SIZE];
    if (!FromWideText(wideText, fieldText, sizeof fieldText)) {
        if (warn)
            WarnCannotPassOn(window);
        return 0;
    }
    strcpy(pathBuffer, fieldText);
    return 1;
}

int DroppedPath(HWND window, HDROP drop, UINT index, char* pathBuffer)
{
    static wchar_t wideText[TEXT_BUFFER_SIZE];
    if (DragQueryFileW(drop, index, NULL, 0) >= TEXT_BUFFER_SIZE)
        return 0;
    DragQueryFileW(drop, index, wideText, TEXT_BUFFER_SIZE);
    static char droppedPath[TEXT_BUFFER_SIZE];
    if (!FromWideText(wideText, droppedPath, sizeof droppedPath)) {
        WarnCannotPassOn(window);
        return 0;
    }
    strcpy(pathBuffer, droppedPath);
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
