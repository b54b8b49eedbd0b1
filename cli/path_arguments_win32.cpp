#include "path_arguments.h"

#include "path_text.h"
#include "commands.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <windows.h>
#include <shellapi.h>

// Without the UTF-8 code page, narrow arguments are the wide command line
// converted with best-fit look-alikes; convert again without them and compare.
static int MainCount;
static char** MainArguments; // main's own copy: the C runtime's strings are copied before main

void KeepMainArguments(int argc, char** argv)
{
    MainCount = argc;
    MainArguments = argv;
}

static int PassedIntact(const char* narrow)
{
    static char exact[4096];
    int index = 0;
    while (index < MainCount && MainArguments[index] != narrow)
        index++;
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    BOOL lossy = FALSE;
    int intact = wide && index < MainCount && index < count
                 && WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide[index], -1, exact, sizeof exact, NULL, &lossy)
                 && !lossy && strcmp(exact, narrow) == 0;
    LocalFree(wide);
    return intact;
}

// The narrow file functions take a full path of fewer than MAX_PATH characters.
// A path with no full form (an empty one) is left to the open to refuse.
static int FitsSystem(const char* path)
{
    static WCHAR wide[32768], full[32768];
    MultiByteToWideChar(CP_ACP, 0, path, -1, wide, 32768); // fits: a command line is under 32,768 characters
    return GetFullPathNameW(wide, 32768, full, NULL) < MAX_PATH;
}

int TakePathArgument(char** argument)
{
    if (GetACP() != CP_UTF8 && !PassedIntact(*argument)) {
        fputs("The file name holds characters this system can't pass on!\n", stderr);
        return 0;
    }
    TrimPastedPath(*argument);
    if (!FitsSystem(*argument)) {
        ReportFile(*argument, "path too long");
        return 0;
    }
    return 1;
}
