#ifndef MORVEX_WIDE_TEXT_H
#define MORVEX_WIDE_TEXT_H

#include <cstddef>

// Windows only: where wide text from the system (a word of the command line,
// a dialog's field, a dropped file's name) becomes the narrow text every
// file call of the programs takes.

// What a name that cannot reach the file system as it is is told.
extern const char CannotPassOn[];

// Puts `wide` into `out` (`size` bytes) in the code page of the process,
// exactly. Without the UTF-8 code page a character the ANSI code page lacks
// would become a look-alike or '?', and could name another file; with it a
// lone surrogate would become U+FFFD. Returns 0, with `out` empty, when the
// text does not convert exactly or does not fit.
int FromWideText(const wchar_t* wide, char* out, size_t size);

#endif
