#include "path_arguments.h"

#include "platform.h"
#include "commands.h"

#include <algorithm>
#include <climits>
#include <cstring>

// POSIX passes names as bytes, and a quote or blank may be part of one. The
// system takes names of at most NAME_MAX bytes; the engine takes paths that
// leave room in TEMP_PATH_SIZE for a temporary name beside them, fewer bytes
// than PATH_MAX.
int TakePathArgument(Word* word)
{
    static const char tempName[] = ".morvex-XXXXXX";
    const char* path = word->text;
    size_t longest = 0;
    for (const char* name = path; *name; name += strcspn(name, "/"), name += *name == '/')
        longest = std::max(longest, strcspn(name, "/"));
    if (strlen(path) + sizeof tempName <= TEMP_PATH_SIZE && longest <= NAME_MAX)
        return 1;
    ReportFile(path, "path too long");
    return 0;
}
