#include "file_replace.h"

#include <cstring>
#include <windows.h>

#include "win32_files.h"

// Fills the identity of the folder that holds the full path `path` and puts
// its final name, without the trailing dots and spaces Windows drops, in `name`.
static int FolderOf(const char* path, FileInfo* folder, char* name)
{
    char full[TEMP_PATH_SIZE];
    char* last = NULL;
    DWORD length = GetFullPathNameA(path, sizeof full, full, &last);
    if (length == 0 || length >= sizeof full || !last)
        return 0;
    strcpy(name, last);
    size_t end = strlen(name);
    while (end > 0 && (name[end - 1] == '.' || name[end - 1] == ' '))
        name[--end] = '\0';
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
    static char nameA[TEMP_PATH_SIZE], nameB[TEMP_PATH_SIZE];
    FileInfo folderA, folderB;
    if (!FolderOf(a->name, &folderA, nameA) || !FolderOf(b->name, &folderB, nameB))
        return 1;
    return SameFile(folderA, folderB) && lstrcmpiA(nameA, nameB) == 0;
}
