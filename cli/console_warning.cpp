#include "warning.h"

#include <cstdio>

void ShowWarning(void*, const char* text)
{
    fprintf(stderr, "%s\n", text);
}
