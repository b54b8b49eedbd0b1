#include "app_state.h"
#include "dialogs.h"

// Closes only through its OK button; Escape and the close box do nothing.
INT_PTR CALLBACK AboutDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        OpenSubDialog = window;
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK)
            EndDialog(window, 0);
        return TRUE;
    }
    return FALSE;
}
