// Opens a file as a double-click in Explorer does, with its type's default
// verb, prints the program that came up and the texts of its patch and file
// fields, one a line, and closes its window.
// Usage: open_with_shell FILE
#include <windows.h>
#include <psapi.h>
#include <shellapi.h>

#include <cstdio>

#include "resource.h"

int main(int argc, char** argv)
{
    SHELLEXECUTEINFOA open = {};
    open.cbSize = sizeof open;
    open.fMask = SEE_MASK_NOCLOSEPROCESS;
    open.lpFile = argc == 2 ? argv[1] : "";
    open.nShow = SW_SHOWNORMAL;
    ShellExecuteExA(&open); // when nothing comes up, nothing is printed
    // The dialog is shown once filled in; the file may be found a moment later.
    char program[MAX_PATH] = "", patch[MAX_PATH] = "", file[MAX_PATH] = "";
    HWND window = NULL;
    for (int i = 0; i < 200 && !(IsWindowVisible(window) && GetDlgItemTextA(window, IDC_APPLY_FILE_PATH, file, MAX_PATH));
         i++, Sleep(50))
        window = FindWindowA(NULL, "Morvex Apply");
    GetModuleFileNameExA(open.hProcess, NULL, program, MAX_PATH);
    GetDlgItemTextA(window, IDC_APPLY_PATCH_PATH, patch, MAX_PATH);
    printf("%s\n%s\n%s\n", program, patch, file);
    PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
    if (WaitForSingleObject(open.hProcess, 5000) != WAIT_OBJECT_0)
        TerminateProcess(open.hProcess, 1);
}
