#include "apply_dialog.h"

#include "apply_state.h"
#include "file_choosers.h"
#include "morvex_version.h"
#include "path_name.h"
#include "path_text.h"
#include "resource.h"

#include <commctrl.h>
#include <cstdio>
#include <cstring>

static int CloseAsked; // Close was pressed while work ran
static DWORD WorkStarted;

// While an apply runs, nothing it reads may change, and only Cancel and
// Close are offered; Apply's place goes to Cancel.
void ShowWorking(HWND window, int shown)
{
    static const int fixed[] = {IDC_APPLY_PATCH_PATH, IDC_APPLY_BROWSE_PATCH, IDC_APPLY_FILE_PATH,
                                IDC_APPLY_BROWSE_FILE, IDC_APPLY_KEEP_UNDO};
    int applying = shown && Job.kind == WORK_APPLY;
    if (!shown) // a survey starting, or work ending
        WorkStarted = GetTickCount();
    // Away from the controls that go, and from Cancel, which a key typed on would press.
    if (applying) {
        SendMessageA(window, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(window, IDC_APPLY_INFO)), TRUE);
        SendDlgItemMessageA(window, IDC_APPLY_INFO, EM_SETSEL, 0, 0);
    }
    for (int id : fixed)
        EnableWindow(GetDlgItem(window, id), !applying);
    DragAcceptFiles(window, !applying);
    SendDlgItemMessageA(window, IDC_APPLY_PROGRESS, PBM_SETPOS, 0, 0);
    ShowWindow(GetDlgItem(window, IDC_APPLY_PROGRESS), shown ? SW_SHOW : SW_HIDE);
    ShowWindow(GetDlgItem(window, IDC_APPLY_APPLY), shown ? SW_HIDE : SW_SHOW);
    ShowWindow(GetDlgItem(window, IDC_APPLY_CANCEL), shown ? SW_SHOW : SW_HIDE);
    // Enabled while any work runs, shown or not.
    EnableWindow(GetDlgItem(window, IDC_APPLY_CANCEL), Working());
}

static void FollowWork(HWND window, int thousandths)
{
    // A survey shows itself only when it takes long enough to be seen.
    if (!IsWindowVisible(GetDlgItem(window, IDC_APPLY_PROGRESS)) && GetTickCount() - WorkStarted >= 300)
        ShowWorking(window, 1);
    SendDlgItemMessageA(window, IDC_APPLY_PROGRESS, PBM_SETPOS, thousandths, 0);
}

static void EndWork(HWND window, WPARAM number)
{
    if (!FinishWork(number))
        return;
    ShowWorking(window, 0);
    if (CloseAsked) {
        // Close pressed in the survey after an apply still hears how the apply went.
        if (Job.kind == WORK_SURVEY)
            ShowApplied(window);
        EndDialog(window, 0);
    } else if (Job.kind == WORK_APPLY) {
        KeepApplied();
        RequestSurvey(window);
        if (!Working())
            ShowApplied(window);
    } else {
        int applicable = ShowVerdict(window);
        if (!Working())
            ShowApplied(window);
        // A survey started again for fields that changed meanwhile keeps the request.
        if (ApplyAsked && !Working()) {
            ApplyAsked = 0;
            if (applicable)
                AskAndApply(window);
        }
    }
}

// A file that reads as a patch goes to the patch field, any other to the file field.
static void DropFiles(HWND window, HDROP drop)
{
    static char dropped[TEXT_BUFFER_SIZE];
    static PatchSpace space;
    static PatchContents contents;
    if (Working() && Job.kind == WORK_APPLY) {
        DragFinish(drop);
        return;
    }
    // A survey running would be out of date.
    if (Working()) {
        StopWork();
        ShowWorking(window, 0);
    }
    UINT count = DragQueryFileA(drop, 0xFFFFFFFF, NULL, 0);
    for (UINT i = 0; i < count; i++) {
        if (!DroppedPath(window, drop, i, dropped))
            continue;
        Problem problem;
        int patch = LoadPatch(dropped, 0, &space, &contents, &problem);
        SetDlgItemTextA(window, patch ? IDC_APPLY_PATCH_PATH : IDC_APPLY_FILE_PATH, dropped);
    }
    DragFinish(drop);
    RequestSurvey(window);
}

// Starts in the folder of the field's path, else of the patch's. A
// cancelled dialog leaves the field as it was.
static void BrowseInto(HWND window, const char* title, const char* filter, int field)
{
    static char chosen[TEXT_BUFFER_SIZE], folder[TEXT_BUFFER_SIZE];
    if (!ReadPathField(window, field, chosen, 0))
        chosen[0] = '\0';
    TrimPastedPath(chosen);
    if (chosen[0])
        strcpy(folder, chosen);
    else if (!ReadPathField(window, IDC_APPLY_PATCH_PATH, folder, 0))
        folder[0] = '\0';
    TrimPastedPath(folder);
    folder[LastComponent(folder) - folder] = '\0';
    PrepareFileDialog(window, filter, title);
    FileDialogRecord.lpstrInitialDir = folder[0] ? folder : NULL;
    if (ChooseExistingFile(window, chosen))
        SetDlgItemTextA(window, field, chosen);
}

static void ShowAbout(HWND window)
{
    Ask(window,
        "Morvex Apply\r\nApplies Morvex patches, version " MORVEX_VERSION_TEXT "\r\n\r\n" MORVEX_COPYRIGHT_TEXT
        "\r\nFree software under the MIT License: see LICENSE.txt.",
        MB_ICONINFORMATION | MB_OK);
}

static void StartWith(HWND window, const StartPaths* start)
{
    SetProgramIcons(window, GetModuleHandleA(NULL));
    HMENU menu = GetSystemMenu(window, FALSE);
    AppendMenuA(menu, MF_SEPARATOR, 0, NULL);
    AppendMenuA(menu, MF_STRING, IDM_APPLY_ABOUT, "&About Morvex Apply...");
    SendDlgItemMessageA(window, IDC_APPLY_PATCH_PATH, EM_LIMITTEXT, TEXT_LIMIT, 0);
    SendDlgItemMessageA(window, IDC_APPLY_FILE_PATH, EM_LIMITTEXT, TEXT_LIMIT, 0);
    SendDlgItemMessageA(window, IDC_APPLY_PROGRESS, PBM_SETRANGE32, 0, 1000);
    CheckDlgButton(window, IDC_APPLY_KEEP_UNDO, BST_CHECKED);
    DragAcceptFiles(window, TRUE);
    // The file first, so that a patch's survey does not look for one.
    if (start) {
        SetDlgItemTextA(window, IDC_APPLY_FILE_PATH, start->file);
        SetDlgItemTextA(window, IDC_APPLY_PATCH_PATH, start->patch);
    }
    RequestSurvey(window);
}

static INT_PTR RunCommand(HWND window, int id, int notification)
{
    switch (id) {
    case IDC_APPLY_FILE_PATH:
        if (notification == EN_CHANGE && !Filling)
            FoundFile[0] = '\0'; // the user's from now on
        // fall through
    case IDC_APPLY_PATCH_PATH:
        if (notification == EN_CHANGE && !Filling)
            RequestSurvey(window);
        break;
    case IDC_APPLY_BROWSE_PATCH:
        BrowseInto(window, "Select patch", PatchFilter, IDC_APPLY_PATCH_PATH);
        break;
    case IDC_APPLY_BROWSE_FILE:
        BrowseInto(window, "Select file to patch", OpenFilter, IDC_APPLY_FILE_PATH);
        break;
    case IDC_APPLY_APPLY: // judged again first: the files may have changed
        ApplyAsked = 1;
        RequestSurvey(window);
        break;
    case IDC_APPLY_CANCEL:
        CancelWork();
        break;
    case IDCANCEL: // Close, Escape and the close box; work running stops first
        CloseAsked = Working();
        if (CloseAsked)
            CancelWork();
        else
            EndDialog(window, 0);
        break;
    default:
        return FALSE;
    }
    return TRUE;
}

INT_PTR CALLBACK ApplyDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        StartWith(window, reinterpret_cast<const StartPaths*>(lParam));
        return TRUE;
    case WM_ACTIVATE: // another program may have let go of the file
        if (LOWORD(wParam) != WA_INACTIVE && !Working() && !Asking)
            RequestSurvey(window);
        return FALSE;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) != IDM_APPLY_ABOUT)
            return FALSE;
        ShowAbout(window);
        return TRUE;
    case WM_DROPFILES:
        DropFiles(window, reinterpret_cast<HDROP>(wParam));
        return TRUE;
    case WM_WORK_PROGRESS:
        FollowWork(window, static_cast<int>(wParam));
        return TRUE;
    case WM_WORK_DONE:
        EndWork(window, wParam);
        return TRUE;
    case WM_DESTROY:
        if (Working())
            StopWork();
        return FALSE;
    case WM_COMMAND:
        return RunCommand(window, LOWORD(wParam), HIWORD(wParam));
    }
    return FALSE;
}
