#ifndef MORVEX_SHOWN_TEXT_H
#define MORVEX_SHOWN_TEXT_H

#include <cstddef>

// The one rule for what a person is shown of a character: a control
// character (C0, DEL or C1), which could drive a terminal or split a line,
// and a backslash where `backslash` is set, which could pass for an escape,
// are shown as \xHH of their code point.
enum { ESCAPE_SIZE = 5 }; // "\xHH" and its terminator

// Puts the escape of `point` into `out` (ESCAPE_SIZE bytes) where the rule
// asks for one. Returns the bytes put, 0 when the character shows as itself.
size_t EscapePoint(unsigned point, int backslash, char* out);

// Text in this process's character set as a person is shown it, into `out`
// (room for `size` bytes with the terminator): each character as it is or
// escaped, and a byte that begins no character kept as it is, but as \xHH
// where it is one of the C1 controls' (0x80-0x9F). Cut before a character or
// escape that would not fit. Returns the bytes put.
size_t ShowProcessText(const char* text, char* out, size_t size, int backslash);

#endif
