#include "app_state.h"
#include "dialogs.h"
#include "file_choosers.h"
#include "patch_builder.h"
#include "resource.h"
#include "warning.h"

// The comment dialog and the About box run without an owner window.
static void ShowSubDialog(const char* templateName, DLGPROC procedure)
{
    DialogBoxParamA(InstanceHandle, templateName, NULL, procedure, 0);
    OpenSubDialog = NULL;
}

static void ConfirmExit(HWND window)
{
    if (MessageBoxA(window, "Do you really want to quit?", ProgramName,
                    MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES) {
        EndDialog(window, 0);
        PostQuitMessage(0);
    }
}

// A cancelled dialog leaves the buffer as it was, so the field shows its text again.
static void BrowseInto(HWND window, const char* title, char* pathBuffer, int field)
{
    PrepareFileDialog(window, OpenFilter, title);
    ChooseOpenFile(window, pathBuffer);
    SetDlgItemTextA(window, field, pathBuffer);
}

static void MakePatch(HWND window)
{
    GetDlgItemTextA(window, IDC_ORIGINAL_PATH, OriginalPath, TEXT_BUFFER_SIZE);
    GetDlgItemTextA(window, IDC_MODIFIED_PATH, ModifiedPath, TEXT_BUFFER_SIZE);
    if (!OriginalPath[0]) {
        ShowWarning(window, "You must select the unmodified file first!");
        return;
    }
    if (!ModifiedPath[0]) {
        ShowWarning(window, "You must select the modified file first!");
        return;
    }
    // The size check and the builder pump no messages: show that we are busy.
    HCURSOR arrow = SetCursor(LoadCursor(NULL, IDC_WAIT));
    int sameSize = CheckSameSize(window, OriginalPath, ModifiedPath);
    SetCursor(arrow);
    if (!sameSize)
        return;
    ShowSubDialog("COMMENT", CommentDialogProc);
    PrepareFileDialog(window, SaveFilter, "Select name for patch");
    // Cancelling the save dialog ends the command: nothing is written.
    if (!ChooseSaveFile(window, PatchPath))
        return;
    SetCursor(LoadCursor(NULL, IDC_WAIT));
    int made = BuildPatch(window, OriginalPath, ModifiedPath, PatchPath, CommentText);
    SetCursor(arrow);
    MessageBoxA(window, made ? "Patch Complete!" : "Error writing patch!", ProgramName, MB_OK);
}

static INT_PTR RunCommand(HWND window, int id)
{
    if (id == IDC_ORIGINAL_PATH || id == IDC_MODIFIED_PATH)
        return TRUE; // notifications from the edit fields
    if (OpenSubDialog) {
        SetForegroundWindow(OpenSubDialog);
        return TRUE;
    }
    switch (id) {
    case IDC_ABOUT:
    case IDC_EXIT:
    case IDC_BROWSE_ORIGINAL:
    case IDC_BROWSE_MODIFIED:
    case IDC_MAKE_PATCH:
        SetFocus(GetDlgItem(window, id));
        break;
    }
    switch (id) {
    case IDC_ABOUT:
        ShowSubDialog("ABOUT", AboutDialogProc);
        break;
    case IDC_BROWSE_ORIGINAL:
        BrowseInto(window, "Select unmodified file", OriginalPath, IDC_ORIGINAL_PATH);
        break;
    case IDC_BROWSE_MODIFIED:
        BrowseInto(window, "Select modified file", ModifiedPath, IDC_MODIFIED_PATH);
        break;
    case IDC_MAKE_PATCH:
        MakePatch(window);
        break;
    default: // Exit, and also Escape, the close box and Enter off a button
        ConfirmExit(window);
        break;
    }
    return TRUE;
}

INT_PTR CALLBACK MainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        SetFocus(GetDlgItem(window, IDC_ORIGINAL_PATH));
        return FALSE;
    case WM_COMMAND:
        return RunCommand(window, LOWORD(wParam));
    }
    return FALSE;
}
