#ifndef MORVEXC_OUTPUT_H
#define MORVEXC_OUTPUT_H

#include <cstdio>

// Every line morvexc writes goes through PutText, on stdout or stderr, in the
// character set of the process. On Windows a console is written characters
// (WriteConsoleW), whatever its code page, and a file or a pipe gets UTF-8;
// elsewhere the bytes go out as they are.
void PutText(FILE* stream, const char* text);

// The same for a formatted line.
void PrintText(FILE* stream, const char* format, ...);

// Whether a write to a console failed; a stream's own errors are in ferror().
int ConsoleFailed();

// Flushes stdout. Returns 0 when everything written there so far reached its
// file, else the errno of the failure, or -1 where the system gave none.
int FlushStdout();

enum { LINE_SIZE = 1 << 18 }; // room for a line naming any path the system takes

// Appends `text` to `line` (LINE_SIZE bytes) as a person is shown it, with
// control characters, which could move the cursor or split the line, as
// \xHH, and a backslash too when `backslash` is set (see shown_text.h). It
// stops short of the end, leaving room for a newline.
void AppendEscaped(char* line, const char* text, bool backslash);

// Appends a path so escaped, a backslash too where it is not the separator.
void AppendPath(char* line, const char* path);

#endif
