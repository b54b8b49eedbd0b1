#include "path_arguments.h"

#ifdef _WIN32
#include "path_text.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <windows.h>
#include <shellapi.h>

// Without the UTF-8 code page, narrow arguments are the wide command line
// converted with best-fit look-alikes; convert again without them and compare.
static int PassedIntact(const char* narrow, int index)
{
    static char exact[4096];
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    BOOL lossy = FALSE;
    int intact = wide && index < count
                 && WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide[index], -1, exact, sizeof exact, NULL, &lossy)
                 && !lossy && strcmp(exact, narrow) == 0;
    LocalFree(wide);
    return intact;
}

int TakePathArgument(char** argument)
{
    if (GetACP() != CP_UTF8 && !PassedIntact(*argument, static_cast<int>(argument - __argv))) {
        fputs("The file name holds characters this system can't pass on!\n", stderr);
        return 0;
    }
    TrimPastedPath(*argument);
    return 1;
}

#else

// POSIX passes names as bytes, and a quote or blank may be part of one.
int TakePathArgument(char**)
{
    return 1;
}

#endif
