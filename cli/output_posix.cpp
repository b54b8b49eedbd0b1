#include "output.h"

void PutText(FILE* stream, const char* text)
{
    fputs(text, stream);
}

int ConsoleFailed()
{
    return 0;
}
