#include "apply_dialog.h"

#include "apply_state.h"
#include "file_choosers.h"
#include "path_text.h"
#include "resource.h"
#include "target_name.h"

#include <cstdio>
#include <cstring>

char ChosenPatch[TEXT_BUFFER_SIZE];
char ChosenFile[TEXT_BUFFER_SIZE];
PatchContents Patch;
PatchFit Fit;
void ShowProblem(HWND window, const Problem& problem)
{
    char line[PROBLEM_TEXT_SIZE * 3];
    ProblemLine(problem, line, sizeof line);
    ShowMessageBox(window, line, ProgramName, MB_ICONWARNING | MB_OK);
}

// How much of `path` names its folder, the separator included.
static int FolderLength(const char* path)
{
    int end = 0;
    for (int i = 0; path[i]; i++)
        if (path[i] == '\\' || path[i] == '/' || path[i] == ':')
            end = i + 1;
    return end;
}

// The one file beside the patch whose name gives the patch's target name
// (the rule morvex.exe makes it by), into the empty file field.
static void FindTargetFile(HWND window)
{
    static char folder[TEXT_BUFFER_SIZE], name[TEXT_BUFFER_SIZE], candidate[TEXT_BUFFER_SIZE * 2];
    static char found[TEXT_BUFFER_SIZE];
    static wchar_t pattern[TEXT_BUFFER_SIZE];
    int folderLength = FolderLength(ChosenPatch);
    snprintf(folder, sizeof folder, "%.*s*", folderLength, ChosenPatch);
    if (!MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, folder, -1, pattern, TEXT_BUFFER_SIZE))
        return;
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW(pattern, &entry);
    if (search == INVALID_HANDLE_VALUE)
        return;
    int matches = 0;
    do {
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || !FromWideText(entry.cFileName, name, sizeof name))
            continue;
        snprintf(candidate, sizeof candidate, "%.*s%s", folderLength, ChosenPatch, name);
        TargetName given = DeriveTargetName(candidate);
        if (strncmp(given.bytes, Patch.name.bytes, TARGET_NAME_SIZE) == 0 && strlen(candidate) < TEXT_BUFFER_SIZE) {
            matches++;
            strcpy(found, candidate);
        }
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    if (matches == 1)
        SetDlgItemTextA(window, IDC_APPLY_FILE_PATH, found);
}

int RefreshVerdict(HWND window)
{
    static char box[VERDICT_SIZE], patchProblem[PROBLEM_TEXT_SIZE * 2], fileProblem[PROBLEM_TEXT_SIZE * 3];
    int patchRead = ReadPathField(window, IDC_APPLY_PATCH_PATH, ChosenPatch, 0);
    int fileRead = ReadPathField(window, IDC_APPLY_FILE_PATH, ChosenFile, 0);
    TrimPastedPath(ChosenPatch);
    TrimPastedPath(ChosenFile);
    int valid = 0, judged = 0;
    Problem problem;
    box[0] = '\0';
    if (!patchRead) {
        snprintf(box, sizeof box, "%s", CannotPassOn);
    } else if (!ChosenPatch[0]) {
        // nothing to say yet
    } else if (!LoadPatch(ChosenPatch, &Patch, &problem)) {
        // The box says "Not a patch: " before the problem: the patch's name goes without saying.
        problem.path = NULL;
        ProblemLine(problem, patchProblem, sizeof patchProblem);
        DescribeFit(NULL, patchProblem, NULL, NULL, NULL, box);
    } else {
        valid = 1;
    }
    if (valid && fileRead && !ChosenFile[0]) {
        FindTargetFile(window);
        // A file found has changed the field, and that refresh has done the rest.
        if (GetWindowTextLengthA(GetDlgItem(window, IDC_APPLY_FILE_PATH)) != 0)
            return IsWindowEnabled(GetDlgItem(window, IDC_APPLY_APPLY));
    }
    if (valid && !fileRead) {
        DescribeFit(&Patch, NULL, NULL, NULL, NULL, box);
        snprintf(box + strlen(box), sizeof box - strlen(box), "\r\n%s", CannotPassOn);
    } else if (valid) {
        if (ChosenFile[0] && !(judged = SurveyFit(Patch, ChosenFile, NULL, &Fit, &problem)))
            ProblemLine(problem, fileProblem, sizeof fileProblem);
        DescribeFit(&Patch, NULL, ChosenFile, judged ? &Fit : NULL, fileProblem, box);
    }
    int applicable = judged && (Fit.state == FIT_NOT_APPLIED || Fit.state == FIT_PARTLY_APPLIED);
    SetDlgItemTextA(window, IDC_APPLY_INFO, box);
    EnableWindow(GetDlgItem(window, IDC_APPLY_APPLY), applicable);
    return applicable;
}

// A file that reads as a patch goes to the patch field, any other to the file field.
static void DropFiles(HWND window, HDROP drop)
{
    static char dropped[TEXT_BUFFER_SIZE];
    static PatchContents contents;
    UINT count = DragQueryFileA(drop, 0xFFFFFFFF, NULL, 0);
    for (UINT i = 0; i < count; i++) {
        if (!DroppedPath(window, drop, i, dropped))
            continue;
        Problem problem;
        int patch = LoadPatch(dropped, &contents, &problem);
        SetDlgItemTextA(window, patch ? IDC_APPLY_PATCH_PATH : IDC_APPLY_FILE_PATH, dropped);
    }
    DragFinish(drop);
}

// A cancelled dialog leaves the field as it was.
static void BrowseInto(HWND window, const char* title, const char* filter, int field)
{
    static char chosen[TEXT_BUFFER_SIZE];
    if (!ReadPathField(window, field, chosen, 0))
        chosen[0] = '\0';
    PrepareFileDialog(window, filter, title);
    if (ChooseExistingFile(window, chosen))
        SetDlgItemTextA(window, field, chosen);
}

static void StartWith(HWND window, const StartPaths* start)
{
    SetProgramIcons(window, GetModuleHandleA(NULL));
    SendDlgItemMessageA(window, IDC_APPLY_PATCH_PATH, EM_LIMITTEXT, TEXT_LIMIT, 0);
    SendDlgItemMessageA(window, IDC_APPLY_FILE_PATH, EM_LIMITTEXT, TEXT_LIMIT, 0);
    CheckDlgButton(window, IDC_APPLY_KEEP_UNDO, BST_CHECKED);
    DragAcceptFiles(window, TRUE);
    // The file first, so that a patch's refresh does not look for one.
    if (start) {
        SetDlgItemTextA(window, IDC_APPLY_FILE_PATH, start->file);
        SetDlgItemTextA(window, IDC_APPLY_PATCH_PATH, start->patch);
    }
    RefreshVerdict(window);
}

static INT_PTR RunCommand(HWND window, int id, int notification)
{
    switch (id) {
    case IDC_APPLY_PATCH_PATH:
    case IDC_APPLY_FILE_PATH:
        if (notification == EN_CHANGE)
            RefreshVerdict(window);
        break;
    case IDC_APPLY_BROWSE_PATCH:
        BrowseInto(window, "Select patch", SaveFilter, IDC_APPLY_PATCH_PATH);
        break;
    case IDC_APPLY_BROWSE_FILE:
        BrowseInto(window, "Select file to patch", OpenFilter, IDC_APPLY_FILE_PATH);
        break;
    case IDC_APPLY_APPLY:
        ApplyChosenPatch(window);
        break;
    case IDCANCEL: // Close, Escape and the close box
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
    case WM_DROPFILES:
        DropFiles(window, reinterpret_cast<HDROP>(wParam));
        return TRUE;
    case WM_COMMAND:
        return RunCommand(window, LOWORD(wParam), HIWORD(wParam));
    }
    return FALSE;
}
