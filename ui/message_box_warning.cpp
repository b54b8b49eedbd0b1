#include "warning.h"

#include "app_state.h"

void ShowWarning(void* owner, const char* text)
{
    MessageBoxA(static_cast<HWND>(owner), text, ProgramName, MB_ICONWARNING | MB_OK);
}
