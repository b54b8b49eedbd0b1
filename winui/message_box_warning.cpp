#include "warning.h"

#include "app_state.h"

// The dialog shows its own words only: the file is the one the user just named.
void ShowWarning(void* owner, const char*, const char* text, const char*)
{
    MessageBoxA(static_cast<HWND>(owner), text, ProgramName, MB_ICONWARNING | MB_OK);
}
