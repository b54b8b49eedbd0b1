#include "warning.h"

#include "win_shared.h"

const char ProgramName[] = "Morvex";

int(WINAPI* ShowMessageBox)(HWND, LPCSTR, LPCSTR, UINT) = MessageBoxA;
void (*WarningHook)(void*, const char*, const char*, const char*);

// The dialog shows its own words only: the file is the one the user just named.
void ShowWarning(void* owner, const char* path, const char* text, const char* reason)
{
    if (WarningHook)
        WarningHook(owner, path, text, reason);
    else
        ShowMessageBox(static_cast<HWND>(owner), text, ProgramName, MB_ICONWARNING | MB_OK);
}
