#ifndef MORVEX_PATCH_TEXT_H
#define MORVEX_PATCH_TEXT_H

#include <cstddef>

// Patches store their text (the target name, the comment) in a Windows code
// page, converted by the engine's own tables in every build. 0 names the
// default: 1252, or on Windows the user's ANSI code page when it is offered.

// The code pages offered, in the order a person is shown them.
struct OfferedCodePage {
    unsigned number;
    const char* name; // "Windows-1252 (Western European)"
};
size_t CodePageCount();
OfferedCodePage CodePageAt(size_t index);

// 1 when `codePage` is one of those offered.
int KnownCodePage(unsigned codePage);

// Puts `text`, in the character set this process reads and writes, into `out`
// (room for `size` bytes with the terminator) in `codePage`: one '?' for each
// character the code page lacks, cut before a character that would not fit
// whole. `*lost` (when `lost` is not NULL) is set to whether a '?' was put
// for a character the code page lacks. Returns the bytes put.
size_t ToPatchText(const char* text, char* out, size_t size, unsigned codePage, int* lost);

// The same, marking in `lostAt` (when not NULL; room for `size` bytes) each
// byte put that stands for a character the code page lacks (1, else 0).
size_t ToPatchTextMarked(const char* text, char* out, size_t size, unsigned codePage, char* lostAt);

// Text from a patch as a person sees it, the one way it reaches a person:
// converted into this process's character set, a byte the code page does not
// map, a double-byte character cut short or a character this process cannot
// show becoming '?', and control characters (C1 ones included) and '\\' as
// \xHH of their code point, so that nothing from a patch can drive a
// terminal, split a line or pass for an escape. Cut before a character or
// escape that would not fit. Returns the bytes put.
enum { SHOWN_NAME_SIZE = 4 * 12 + 1 }; // a target name shown: each byte at most one escape
size_t ShowPatchText(const unsigned char* text, size_t length, char* out, size_t size, unsigned codePage);

// The bytes (1 or 2) of the character that `text` begins with in `codePage`.
size_t PatchCharLength(const char* text, unsigned codePage);

#endif
