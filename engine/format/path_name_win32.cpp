#include "path_name.h"

#include <cstring>

const char* LastComponent(const char* path)
{
    const char* name = NULL;
    for (const char* at = path; *at; at++)
        if (*at == '\\' || *at == '/')
            name = at + 1;
    if (!name) {
        const char* colon = strrchr(path, ':');
        name = colon ? colon + 1 : path;
    }
    return name;
}

size_t NameLength(const char* name)
{
    size_t length = strlen(name);
    while (length > 0 && (name[length - 1] == '.' || name[length - 1] == ' '))
        length--;
    return length;
}
