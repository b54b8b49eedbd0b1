#ifndef MORVEX_PROCESS_TEXT_H
#define MORVEX_PROCESS_TEXT_H

#include <cstddef>

// The character set this process reads and writes its text in, one file per
// platform, and the code page patches use by default there.

enum { PROCESS_CHAR_MOST = 8 };

// Reads the character `text` begins with (`length` bytes, at least 1) into
// `point`; a byte that begins no character reads as '?'. Returns the bytes read.
size_t ReadProcessChar(const char* text, size_t length, unsigned* point);

// Puts `point` into `out` (PROCESS_CHAR_MOST bytes). Returns the bytes put,
// 0 when this process's character set lacks it.
size_t WriteProcessChar(unsigned point, char* out);

// The code page 0 stands for: an offered one.
unsigned DefaultCodePage();

// UTF-8, which every platform may use. Writes code points below U+10000.
size_t ReadUtf8Char(const char* text, size_t length, unsigned* point);
size_t WriteUtf8Char(unsigned point, char* out);

#endif
