#include "file_choosers.h"

#include "win_shared.h"

#include <cstring>

OPENFILENAMEA FileDialogRecord;

const char OpenFilter[] =
    "Executables (*.exe)\0*.exe\0"
    "All Files (*.*)\0*.*\0";

// The seven patch extensions, each a pair of its own; one patch format for all.
#define PATCH_TYPES \
    "TIE Disk (*.ov)\0*.ov\0" \
    "TIECD (*.qj)\0*.qj\0" \
    "TIE95 (*.t95)\0*.t95\0" \
    "XvT (*.114)\0*.114\0" \
    "BoP (*.bop)\0*.bop\0" \
    "XWA (*.202)\0*.202\0" \
    "Xwing (*.xov)\0*.xov\0"

const char SaveFilter[] = PATCH_TYPES "All Files (*.*)\0*.*\0";

const char PatchFilter[] = "Patches (*.ov;*.qj;*.t95;*.114;*.bop;*.202;*.xov)\0*.ov;*.qj;*.t95;*.114;*.bop;*.202;*.xov\0"
    PATCH_TYPES "All Files (*.*)\0*.*\0";

// The record in its Windows 95/98 size, without the later extension fields
// (76 bytes in the 32-bit program).
static const DWORD RecordSize = OPENFILENAME_SIZE_VERSION_400A;

void PrepareFileDialog(HWND owner, const char* filterList, const char* title)
{
    FileDialogRecord.lStructSize = RecordSize;
    FileDialogRecord.hwndOwner = owner;
    FileDialogRecord.hInstance = NULL;
    FileDialogRecord.lpstrFilter = filterList;
    FileDialogRecord.lpstrCustomFilter = NULL;
    FileDialogRecord.nMaxCustFilter = 0;
    FileDialogRecord.nFilterIndex = 0;
    FileDialogRecord.lpstrFile = NULL;
    FileDialogRecord.nMaxFile = TEXT_BUFFER_SIZE;
    FileDialogRecord.lpstrFileTitle = NULL;
    FileDialogRecord.nMaxFileTitle = TEXT_BUFFER_SIZE;
    FileDialogRecord.lpstrInitialDir = ".\\";
    FileDialogRecord.lpstrTitle = title;
    FileDialogRecord.Flags = 0;
    FileDialogRecord.nFileOffset = 0;
    FileDialogRecord.nFileExtension = 0;
    FileDialogRecord.lpstrDefExt = "exe";
    FileDialogRecord.lCustData = 0;
    FileDialogRecord.lpTemplateName = NULL;
}

// On failure the platform may leave the needed length in the buffer's first
// bytes (a path too long for it), so the previous text is put back.
static int RunFileDialog(HWND owner, char* pathBuffer, BOOL (WINAPI* dialog)(LPOPENFILENAMEA), DWORD flags)
{
    char previous[TEXT_BUFFER_SIZE];
    memcpy(previous, pathBuffer, TEXT_BUFFER_SIZE);
    FileDialogRecord.hwndOwner = owner;
    FileDialogRecord.lpstrFile = pathBuffer;
    FileDialogRecord.lpstrFileTitle = NULL;
    FileDialogRecord.Flags = flags;
    int chosen = dialog(&FileDialogRecord);
    if (!chosen)
        memcpy(pathBuffer, previous, TEXT_BUFFER_SIZE);
    return chosen;
}

int ChooseOpenFile(HWND owner, char* pathBuffer)
{
    return RunFileDialog(owner, pathBuffer, GetOpenFileNameA, OFN_HIDEREADONLY | OFN_CREATEPROMPT);
}

int ChooseExistingFile(HWND owner, char* pathBuffer)
{
    return RunFileDialog(owner, pathBuffer, GetOpenFileNameA, OFN_HIDEREADONLY | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST);
}

int ChooseSaveFile(HWND owner, char* pathBuffer)
{
    // Asks before an existing file is replaced; No returns to the dialog.
    return RunFileDialog(owner, pathBuffer, GetSaveFileNameA,
                         OFN_HIDEREADONLY | OFN_CREATEPROMPT | OFN_OVERWRITEPROMPT);
}
