#include "app_state.h"
#include "dialogs.h"

#include <commctrl.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    InstanceHandle = instance;
    InitCommonControls(); // the themed controls of the manifest's Common Controls 6

    // The class is never used for a window: registering it is the start-up's
    // test of the platform, kept on purpose.
    WNDCLASSA windowClass = {};
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = reinterpret_cast<WNDPROC>(MainDialogProc);
    windowClass.hInstance = InstanceHandle;
    windowClass.hIcon = LoadIconA(NULL, IDI_APPLICATION);
    windowClass.hCursor = LoadCursorA(NULL, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    windowClass.lpszClassName = ProgramName;
    if (!RegisterClassA(&windowClass)) {
        MessageBoxA(NULL, "This program requires Windows 98!", ProgramName, MB_ICONERROR);
        return 0;
    }

    if (DialogBoxParamA(InstanceHandle, "PATCH", NULL, MainDialogProc, 0) == -1) {
        MessageBoxA(NULL, "The main window could not be opened!", ProgramName, MB_ICONERROR);
        return 1;
    }

    // A confirmed exit has posted the quit request: drain the queue up to it.
    // The accelerators are loaded only now, on purpose, so they never act on
    // the dialog; its buttons' mnemonics serve the keyboard there.
    HACCEL accelerators = LoadAcceleratorsA(InstanceHandle, "MORVEX");
    MSG message = {};
    while (GetMessageA(&message, NULL, 0, 0) > 0) {
        if (!TranslateAcceleratorA(NULL, accelerators, &message)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
    }
    return static_cast<int>(message.wParam);
}
