#include "app_state.h"
#include "dialogs.h"
#include "file_choosers.h"
#include "patch_builder.h"
#include "make_messages.h"
#include "patch_compare.h"
#include "path_text.h"
#include "resource.h"
#include "warning.h"

#include <climits>
#include <cstring>

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

// Before the patch is named: what the code page cannot store becomes '?'.
static void WarnOfLostCharacters(HWND window)
{
    int lost = LostCharacters(OriginalPath, CommentText, 0);
    if (!lost)
        return;
    char warning[160];
    LostWarning(lost, 0, warning, sizeof warning);
    warning[0] = static_cast<char>(warning[0] - 'a' + 'A'); // a box's text begins a sentence
    ShowWarning(window, warning);
}

static void MakePatch(HWND window)
{
    if (!ReadPathField(window, IDC_ORIGINAL_PATH, OriginalPath, 1)
        || !ReadPathField(window, IDC_MODIFIED_PATH, ModifiedPath, 1))
        return;
    TrimPastedPath(OriginalPath);
    TrimPastedPath(ModifiedPath);
    if (const char* unchosen = UnchosenInput(OriginalPath, ModifiedPath)) {
        ShowWarning(window, unchosen);
        return;
    }
    // The size check and the builder pump no messages: show that we are busy.
    HCURSOR arrow = SetCursor(LoadCursor(NULL, IDC_WAIT));
    int sameSize = CheckSameSize(window, OriginalPath, ModifiedPath);
    SetCursor(arrow);
    if (!sameSize)
        return;
    ShowSubDialog("COMMENT", CommentDialogProc);
    WarnOfLostCharacters(window);
    PrepareFileDialog(window, SaveFilter, "Select name for patch");
    // Cancelling the save dialog ends the command: nothing is written.
    if (!ChooseSaveFile(window, PatchPath))
        return;
    SetCursor(LoadCursor(NULL, IDC_WAIT));
    int made = BuildPatch(window, OriginalPath, ModifiedPath, PatchPath, CommentText);
    SetCursor(arrow);
    // After a failure this is the second box, on purpose: the builder has said what failed.
    MessageBoxA(window, made ? PatchComplete : "Error writing patch!", ProgramName, MB_OK);
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

// The path field of the row under `point` (client coordinates): a row is a
// field, its Browse button and the label above the field. 0 elsewhere.
static int FieldAt(HWND window, POINT point)
{
    static const int rows[][2] = {{IDC_ORIGINAL_PATH, IDC_BROWSE_ORIGINAL}, {IDC_MODIFIED_PATH, IDC_BROWSE_MODIFIED}};
    HWND control = ChildWindowFromPointEx(window, point, CWP_SKIPINVISIBLE);
    if (!control || control == window)
        return 0;
    RECT under, field;
    GetWindowRect(control, &under);
    int labelled = 0;
    LONG nearest = LONG_MAX;
    for (const auto& row : rows) {
        if (control == GetDlgItem(window, row[0]) || control == GetDlgItem(window, row[1]))
            return row[0];
        GetWindowRect(GetDlgItem(window, row[0]), &field);
        if (field.top >= under.bottom && field.top - under.bottom < nearest) {
            nearest = field.top - under.bottom;
            labelled = row[0];
        }
    }
    return LOWORD(GetDlgCtrlID(control)) == LOWORD(IDC_STATIC) ? labelled : 0;
}

// As if the file had been chosen with Browse.
static void TakeDroppedFile(HWND window, HDROP drop, UINT index, int field)
{
    char* pathBuffer = field == IDC_ORIGINAL_PATH ? OriginalPath : ModifiedPath;
    if (DroppedPath(window, drop, index, pathBuffer))
        SetDlgItemTextA(window, field, pathBuffer);
}

// One file goes to the row it is dropped on, else to the first empty field;
// two or more fill the original's field and the modified one's, in order.
static void DropFiles(HWND window, HDROP drop)
{
    if (OpenSubDialog) {
        SetForegroundWindow(OpenSubDialog);
    } else if (DragQueryFileA(drop, 0xFFFFFFFF, NULL, 0) >= 2) {
        TakeDroppedFile(window, drop, 0, IDC_ORIGINAL_PATH);
        TakeDroppedFile(window, drop, 1, IDC_MODIFIED_PATH);
    } else {
        POINT point;
        DragQueryPoint(drop, &point);
        int field = FieldAt(window, point);
        if (!field)
            field = GetWindowTextLengthA(GetDlgItem(window, IDC_ORIGINAL_PATH)) == 0
                            || GetWindowTextLengthA(GetDlgItem(window, IDC_MODIFIED_PATH)) != 0
                        ? IDC_ORIGINAL_PATH
                        : IDC_MODIFIED_PATH;
        TakeDroppedFile(window, drop, 0, field);
    }
    DragFinish(drop);
}

INT_PTR CALLBACK MainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        SendDlgItemMessageA(window, IDC_ORIGINAL_PATH, EM_LIMITTEXT, TEXT_LIMIT, 0);
        SendDlgItemMessageA(window, IDC_MODIFIED_PATH, EM_LIMITTEXT, TEXT_LIMIT, 0);
        SetProgramIcons(window, InstanceHandle);
        DragAcceptFiles(window, TRUE);
        SetFocus(GetDlgItem(window, IDC_ORIGINAL_PATH));
        return FALSE;
    case WM_DROPFILES:
        DropFiles(window, reinterpret_cast<HDROP>(wParam));
        return TRUE;
    case WM_COMMAND:
        return RunCommand(window, LOWORD(wParam));
    }
    return FALSE;
}
