#ifndef MORVEX_APPLY_DIALOG_H
#define MORVEX_APPLY_DIALOG_H

#include <windows.h>

// The paths the fields start with ("" for an empty field), passed to the
// dialog as its creation parameter (or none: both fields empty).
struct StartPaths {
    const char* patch;
    const char* file;
};

INT_PTR CALLBACK ApplyDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Refills the information box from the fields and enables Apply when
// applying makes sense; returns whether it does.
int RefreshVerdict(HWND window);

// Asks what needs asking, applies the patch and says how it went.
void ApplyChosenPatch(HWND window);

#endif
