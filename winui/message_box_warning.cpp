#include "warning.h"

#include "win_shared.h"

int(WINAPI* ShowMessageBox)(HWND, LPCSTR, LPCSTR, UINT) = MessageBoxA;

void ShowWarning(void* owner, const char* text)
{
    ShowMessageBox(static_cast<HWND>(owner), text, ProgramName, MB_ICONWARNING | MB_OK);
}
