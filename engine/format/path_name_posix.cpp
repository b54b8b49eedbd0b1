#include "path_name.h"

#include <cstring>

const char* LastComponent(const char* path)
{
    const char* slash = strrchr(path, '/');
    return slash ? slash + 1 : path;
}

size_t NameLength(const char* name)
{
    return strlen(name);
}
