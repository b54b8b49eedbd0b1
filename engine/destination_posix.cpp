#include "platform.h"

#include <cstring>
#include <sys/stat.h>

// Fills the identity of the folder that holds `path` and points `name` at
// its final name.
static int FolderOf(const char* path, FileInfo* folder, const char** name)
{
    const char* slash = strrchr(path, '/');
    *name = slash ? slash + 1 : path;
    char dir[TEMP_PATH_SIZE] = ".";
    size_t length = slash ? (slash == path ? 1 : static_cast<size_t>(slash - path)) : 0;
    if (length >= sizeof dir)
        return 0;
    if (length) {
        memcpy(dir, path, length);
        dir[length] = '\0';
    }
    struct stat status;
    if (stat(dir, &status) != 0)
        return 0;
    folder->volume = static_cast<unsigned long long>(status.st_dev);
    folder->index = static_cast<unsigned long long>(status.st_ino);
    return 1;
}

int SameDestination(const char* a, const char* b)
{
    FileInfo folderA, folderB;
    const char *nameA, *nameB;
    return FolderOf(a, &folderA, &nameA) && FolderOf(b, &folderB, &nameB) &&
           SameFile(folderA, folderB) && strcmp(nameA, nameB) == 0;
}
