#include "file_replace.h"

#include <cstring>
#include <windows.h>

#include "system_calls.h"
#include "win32_files.h"

// Fills the identity of the folder that holds `path` and puts its final name
// in `name`; GetFullPathNameA has dropped its trailing dots and spaces, as
// the file system would.
static int FolderOf(const char* path, FileInfo* folder, char* name)
{
    char full[TEMP_PATH_SIZE];
    char* last = NULL;
    DWORD length = System.GetFullPathNameA(path, sizeof full, full, &last);
    if (length == 0 || length >= sizeof full || !last)
        return 0;
    strcpy(name, last);
    *last = '\0';
    BY_HANDLE_FILE_INFORMATION status;
    int known = InspectPath(full, &status);
    if (known) {
        folder->volume = status.dwVolumeSerialNumber;
        folder->index = (static_cast<unsigned long long>(status.nFileIndexHigh) << 32) | status.nFileIndexLow;
    }
    return known;
}

int SamePlace(const Replacement* a, const Replacement* b)
{
    char nameA[TEMP_PATH_SIZE], nameB[TEMP_PATH_SIZE];
    FileInfo folderA, folderB;
    if (!FolderOf(a->name, &folderA, nameA) || !FolderOf(b->name, &folderB, nameB))
        return 1;
    return SameFile(folderA, folderB) && lstrcmpiA(nameA, nameB) == 0;
}
