#include "file_replace.h"

#include <cstring>
#include <sys/stat.h>

int SamePlace(const Replacement* a, const Replacement* b)
{
    struct stat folderA, folderB;
    if (fstat(a->folder, &folderA) != 0 || fstat(b->folder, &folderB) != 0)
        return 1;
    return folderA.st_dev == folderB.st_dev && folderA.st_ino == folderB.st_ino && strcmp(a->name, b->name) == 0;
}
