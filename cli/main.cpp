// morvexc: makes a patch from the command line with the same engine as the
// dialog program. Exit codes: 0 made, 1 refused or failed, 2 wrong arguments.
#include "patch_builder.h"
#include "path_arguments.h"
#include "platform.h"

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc < 4 || argc > 5) {
        fputs("usage: morvexc ORIGINAL MODIFIED PATCH [COMMENT]\n", stderr);
        return 2;
    }
    for (int path = 1; path <= 3; path++)
        if (!TakePathArgument(argv, path))
            return 1;
    // The engine cuts the comment to 255 bytes, as the comment dialog does.
    const char* comment = argc == 5 ? argv[4] : "";

    RemoveTempsOnInterrupt();
    if (!CheckSameSize(NULL, argv[1], argv[2]))
        return 1;
    if (!BuildPatch(NULL, argv[1], argv[2], argv[3], comment)) {
        fputs("Error writing patch!\n", stderr);
        return 1;
    }
    puts("Patch Complete!");
    return 0;
}
