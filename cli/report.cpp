#include "commands.h"

#include <cstdio>

// Control bytes, which could move the cursor or split the line, show as \xHH;
// so does a backslash in a POSIX name, where it is a character like any other
// and could pass for an escape.
static void PutEscaped(const char* text, bool backslash)
{
    for (const unsigned char* at = reinterpret_cast<const unsigned char*>(text); *at; at++) {
        if (*at < 0x20 || *at == 0x7F || (backslash && *at == '\\'))
            fprintf(stderr, "\\x%02X", *at);
        else
            fputc(*at, stderr);
    }
}

int Report(const Problem& problem)
{
#ifdef _WIN32
    const bool backslash = false; // the separator of every Windows path
#else
    const bool backslash = true;
#endif
    char reason[PROBLEM_TEXT_SIZE];
    const char* words = ProblemReason(problem, reason, sizeof reason);
    fputs("morvexc: ", stderr);
    if (problem.path) {
        PutEscaped(problem.path, backslash);
        fputs(": ", stderr);
    }
    // The engine's words already show a patch's text escaped.
    PutEscaped(problem.what, false);
    if (words) {
        fputs(": ", stderr);
        PutEscaped(words, false);
    }
    fputc('\n', stderr);
    return 1;
}

int ReportFile(const char* path, const char* what)
{
    Problem problem;
    Refuse(&problem, path, what);
    return Report(problem);
}
