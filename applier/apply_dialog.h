#ifndef MORVEX_APPLY_DIALOG_H
#define MORVEX_APPLY_DIALOG_H

#include <windows.h>

// The paths the fields start with ("" for an empty field), passed to the
// dialog as its creation parameter (or none: both fields empty).
struct StartPaths {
    const char* patch;
    const char* file;
};

// The APPLY dialog. Its work runs on a thread of its own: the window that
// hosts it needs common controls (the progress bar) and a message loop.
INT_PTR CALLBACK ApplyDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

#endif
