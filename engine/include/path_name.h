#ifndef MORVEX_PATH_NAME_H
#define MORVEX_PATH_NAME_H

#include <cstddef>

// How this system splits a path, one file per platform. POSIX splits only at
// '/', a backslash being part of a name; Windows splits at '\\' and '/', or
// after a drive's ':' where neither is there.

// The last component of `path`: what follows its folder.
const char* LastComponent(const char* path);

// The bytes of `name` the system matches when it opens it: Windows drops the
// trailing dots and spaces, POSIX keeps every byte.
size_t NameLength(const char* name);

#endif
