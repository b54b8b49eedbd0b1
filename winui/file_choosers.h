#ifndef MORVEX_FILE_CHOOSERS_H
#define MORVEX_FILE_CHOOSERS_H

#include <windows.h>
#include <commdlg.h>

extern OPENFILENAMEA FileDialogRecord;
extern const char OpenFilter[];
extern const char SaveFilter[];
// Opening a patch: all seven extensions in one filter first, then each.
extern const char PatchFilter[];

// Resets the shared record for the next dialog. Call before each Choose.
void PrepareFileDialog(HWND owner, const char* filterList, const char* title);

// Run the platform's dialog into `pathBuffer` (TEXT_BUFFER_SIZE bytes), whose
// text is the initial file name. Non-zero when a file was chosen; otherwise
// the buffer keeps its text.
int ChooseOpenFile(HWND owner, char* pathBuffer);
int ChooseSaveFile(HWND owner, char* pathBuffer);
// Offers only files that exist.
int ChooseExistingFile(HWND owner, char* pathBuffer);

#endif
