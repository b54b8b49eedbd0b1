#include "apply_dialog.h"

#include "win_shared.h"

#include <commctrl.h>

// morvex-apply.exe [PATCH [FILE]]: the fields start with the paths given.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    static char patch[TEXT_BUFFER_SIZE], file[TEXT_BUFFER_SIZE];
    InitCommonControls(); // the themed controls of the manifest's Common Controls 6
    StartPaths start = {patch, file};
    int count = 0;
    bool taken = false;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (arguments && count > 3) {
        ShowMessageBox(NULL, "Usage: morvex-apply.exe [PATCH [FILE]]", ProgramName, MB_ICONWARNING | MB_OK);
    } else if (arguments) {
        taken = true;
        for (int i = 1; i < count && taken; i++)
            taken = FromWideText(arguments[i], i == 1 ? patch : file, TEXT_BUFFER_SIZE);
        if (!taken)
            ShowMessageBox(NULL, CannotPassOn, ProgramName, MB_ICONWARNING | MB_OK);
    }
    LocalFree(arguments);
    LPARAM given = taken ? reinterpret_cast<LPARAM>(&start) : 0;
    if (DialogBoxParamA(instance, "APPLY", NULL, ApplyDialogProc, given) == -1) {
        ShowMessageBox(NULL, "The main window could not be opened!", ProgramName, MB_ICONERROR);
        return 1;
    }
    return 0;
}
