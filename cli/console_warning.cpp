#include "commands.h"
#include "warning.h"

#include <cstdio>

int WarningsShown = 0;

// Control bytes, which could move the cursor or split the line, show as \xHH.
static void PutLine(const char* text)
{
    for (const unsigned char* at = reinterpret_cast<const unsigned char*>(text); *at; at++) {
        if (*at < 0x20 || *at == 0x7F)
            fprintf(stderr, "\\x%02X", *at);
        else
            fputc(*at, stderr);
    }
}

// One line: "morvexc: NAME: WHAT: REASON", NAME and REASON where there are any.
void ShowWarning(void*, const char* path, const char* text, const char* reason)
{
    WarningsShown++;
    fputs("morvexc: ", stderr);
    if (path) {
        PutLine(path);
        fputs(": ", stderr);
    }
    PutLine(text);
    if (reason) {
        fputs(": ", stderr);
        PutLine(reason);
    }
    fputc('\n', stderr);
}
