#include "path_text.h"

#include <cstring>

static void TrimBlanks(char* text)
{
    size_t start = strspn(text, " \t");
    size_t length = strlen(text + start);
    while (length > 0 && (text[start + length - 1] == ' ' || text[start + length - 1] == '\t'))
        length--;
    memmove(text, text + start, length);
    text[length] = '\0';
}

void TrimPastedPath(char* path)
{
    TrimBlanks(path);
    size_t length = strlen(path);
    if (length >= 2 && path[0] == '"' && path[length - 1] == '"') {
        path[length - 1] = '\0';
        memmove(path, path + 1, length - 1);
        TrimBlanks(path);
    }
}
