#include "apply_dialog.h"

#include "win_shared.h"

#include <commctrl.h>

// morvex-apply.exe [PATCH [FILE]]: the fields start with the paths given.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    static char patch[TEXT_BUFFER_SIZE], file[TEXT_BUFFER_SIZE];
    InitCommonControls(); // the themed controls of the manifest's Common Controls 6
    StartPaths start = {NULL, NULL};
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (arguments && count > 3) {
        ShowMessageBox(NULL, "Usage: morvex-apply.exe [PATCH [FILE]]", ProgramName, MB_ICONWARNING | MB_OK);
    } else if (arguments) {
        int taken = 1;
        if (count > 1)
            taken = FromWideText(arguments[1], patch) && (count < 3 || FromWideText(arguments[2], file));
        if (!taken)
            ShowMessageBox(NULL, "The file name holds characters this system can't pass on!", ProgramName,
                           MB_ICONWARNING | MB_OK);
        else {
            start.patch = count > 1 ? patch : NULL;
            start.file = count > 2 ? file : NULL;
        }
    }
    LocalFree(arguments);
    if (DialogBoxParamA(instance, "APPLY", NULL, ApplyDialogProc, reinterpret_cast<LPARAM>(&start)) == -1) {
        ShowMessageBox(NULL, "The main window could not be opened!", ProgramName, MB_ICONERROR);
        return 1;
    }
    return 0;
}
