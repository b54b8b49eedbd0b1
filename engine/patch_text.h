#ifndef MORVEX_PATCH_TEXT_H
#define MORVEX_PATCH_TEXT_H

#include <cstddef>

// Puts `length` bytes of text in the code page patches use (a target name, a
// comment) into `out` (room for `size` bytes with the terminator) in the code
// page this process reads and writes, cut at a whole character: the reverse
// of ToPatchText. A zero byte in the text stays one. Returns the bytes put.
size_t FromPatchText(const unsigned char* text, size_t length, char* out, size_t size);

#endif
