#include "warning.h"

#include <cstdio>
#include <cstring>

// The dialog's own messages (they end in '!') stand alone; the others name the file.
void ShowWarning(void*, const char* path, const char* text, const char*)
{
    size_t length = strlen(text);
    if (!path || (length > 0 && text[length - 1] == '!'))
        fprintf(stderr, "%s\n", text);
    else
        fprintf(stderr, "%s: %s\n", path, text);
}
