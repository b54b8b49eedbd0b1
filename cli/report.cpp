#include "commands.h"
#include "output.h"
#include "shown_text.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

void PrintText(FILE* stream, const char* format, ...)
{
    static char line[LINE_SIZE];
    va_list arguments;
    va_start(arguments, format);
    vsnprintf(line, sizeof line, format, arguments);
    va_end(arguments);
    PutText(stream, line);
}

void AppendEscaped(char* line, const char* text, bool backslash)
{
    size_t used = strlen(line);
    ShowProcessText(text, line + used, LINE_SIZE - 1 - used, backslash);
}

void AppendPath(char* line, const char* path)
{
    // A backslash in a POSIX name is a character like any other and could
    // pass for an escape; on Windows it is the separator of every path.
#ifdef _WIN32
    AppendEscaped(line, path, false);
#else
    AppendEscaped(line, path, true);
#endif
}

int Report(const Problem& problem)
{
    static char line[LINE_SIZE];
    char reason[PROBLEM_TEXT_SIZE];
    const char* words = ProblemReason(problem, reason, sizeof reason);
    strcpy(line, "morvexc: ");
    if (problem.path) {
        AppendPath(line, problem.path);
        AppendEscaped(line, ": ", false);
    }
    // The engine's words already show a patch's text escaped.
    AppendEscaped(line, problem.what, false);
    if (words) {
        AppendEscaped(line, ": ", false);
        AppendEscaped(line, words, false);
    }
    strcat(line, "\n"); // the escapes stop short of the end, leaving room
    PutText(stderr, line);
    return 1;
}

int ReportFile(const char* path, const char* what)
{
    Problem problem;
    Refuse(&problem, path, what);
    return Report(problem);
}

int ReportNotAPatch(const Problem& problem)
{
    static char line[LINE_SIZE];
    strcpy(line, "morvexc: Not a patch: ");
    AppendPath(line, problem.path);
    AppendEscaped(line, " is not a patch file: ", false);
    AppendEscaped(line, problem.what, false);
    strcat(line, "\n");
    PutText(stderr, line);
    return 1;
}

int FlushStdout()
{
    errno = 0;
    if (fflush(stdout) == 0 && !ferror(stdout) && !ConsoleFailed())
        return 0;
    return errno ? errno : -1;
}

static int Said;

void ReportUnreported(const char* path, int error)
{
    static char line[LINE_SIZE];
    strcpy(line, "morvexc: ");
    AppendPath(line, path);
    AppendEscaped(line, ": patched, but the report of it cannot be written", false);
    if (error > 0) {
        AppendEscaped(line, ": ", false);
        AppendEscaped(line, strerror(error), false);
    }
    strcat(line, "\n");
    PutText(stderr, line);
    Said = 1;
}

int WriteErrorSaid()
{
    return Said;
}
