#include "path_arguments.h"

#include "commands.h"
#include "path_text.h"
#include "wide_text.h"

#include <cstring>
#include <windows.h>
#include <shellapi.h>

// Without the UTF-8 code page main's argv is the wide command line converted
// with look-alikes: the word is taken again from there, exactly or not at
// all. The C runtime split the command line itself, so the word must come
// out the same.
static int PassedIntact(const Word& word)
{
    static char exact[3 * 32768]; // a command line is under 32,768 characters
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    int intact = wide && word.index < count && static_cast<int>(wcslen(wide[word.index])) >= word.skip
                 && FromWideText(wide[word.index] + word.skip, exact, sizeof exact) && strcmp(exact, word.text) == 0;
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

int TakePathArgument(Word* path)
{
    if (!PassedIntact(*path)) {
        ReportFile(path->text, CannotPassOn);
        return 0;
    }
    TrimPastedPath(path->text);
    if (!FitsSystem(path->text)) {
        ReportFile(path->text, "path too long");
        return 0;
    }
    return 1;
}
