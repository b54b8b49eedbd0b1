#include "app_state.h"
#include "dialogs.h"
#include "resource.h"

// Asks for the patch comment. Only OK (or Enter) closes it, so every patch
// passes through; Escape and the close box do nothing.
INT_PTR CALLBACK CommentDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        OpenSubDialog = window;
        SendDlgItemMessageA(window, IDC_COMMENT_TEXT, EM_LIMITTEXT, TEXT_LIMIT, 0);
        SetFocus(GetDlgItem(window, IDC_COMMENT_TEXT));
        return FALSE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_COMMENT_OK) {
            GetDlgItemTextA(window, IDC_COMMENT_TEXT, CommentText, TEXT_BUFFER_SIZE);
            EndDialog(window, 0);
        }
        return TRUE;
    }
    return FALSE;
}
