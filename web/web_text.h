#ifndef MORVEX_WEB_TEXT_H
#define MORVEX_WEB_TEXT_H

#include <cstddef>

// The page's text is UTF-8; patches hold their name and comment in the code
// page the user picks. The engine's conversions use the one set here.
void UsePatchCodePage(unsigned codePage);

// Whether the code page is one the conversions know.
int KnownCodePage(unsigned codePage);

// UTF-8 `text` into `codePage` in `out` (`size` bytes with the terminator),
// one '?' for each character the code page lacks, cut at a whole character.
size_t ToPatchText(const char* text, char* out, size_t size, unsigned codePage);

// `length` bytes in `codePage` into UTF-8 in `out`; the reverse of the above.
size_t FromPatchText(const unsigned char* text, size_t length, char* out, size_t size, unsigned codePage);

#endif
