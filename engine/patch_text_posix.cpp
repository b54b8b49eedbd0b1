#include "patch_text.h"

#include <cstring>

// Elsewhere than on Windows the bytes are kept as they are, as ToPatchText does.
size_t FromPatchText(const unsigned char* text, size_t length, char* out, size_t size)
{
    size_t kept = length < size - 1 ? length : size - 1;
    memcpy(out, text, kept);
    out[kept] = '\0';
    return kept;
}
