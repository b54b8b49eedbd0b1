// morvexc: makes a patch from the command line with the same engine as the
// dialog program. Exit codes: 0 made, 1 refused or failed, 2 wrong arguments.
#include "patch_builder.h"
#include "patch_format.h"
#include "platform.h"

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    if (argc < 4 || argc > 5) {
        fputs("usage: morvexc ORIGINAL MODIFIED PATCH [COMMENT]\n", stderr);
        return 2;
    }
    // Cut the comment as the comment dialog does.
    static char comment[MAX_COMMENT_LENGTH + 1];
    if (argc == 5)
        strncpy(comment, argv[4], MAX_COMMENT_LENGTH);

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
