#include "platform.h"

#include <cstring>
#include <windows.h>

#include "win32_files.h"

// Fills the identity of the folder that holds `path` and puts its final name,
// without the trailing dots and spaces Windows drops, in `name`.
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

int SameDestination(const char* a, const char* b)
{
    static char nameA[TEMP_PATH_SIZE], nameB[TEMP_PATH_SIZE];
    FileInfo folderA, folderB;
    return FolderOf(a, &folderA, nameA) && FolderOf(b, &folderB, nameB) &&
           SameFile(folderA, folderB) && lstrcmpiA(nameA, nameB) == 0;
}
