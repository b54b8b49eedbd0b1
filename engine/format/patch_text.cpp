#include "patch_text.h"

#include <cstdio>
#include <cstring>

size_t ShowPatchText(const unsigned char* text, size_t length, char* out, size_t size, unsigned codePage)
{
    static char converted[4 << 20];
    size_t count = FromPatchText(text, length, converted, sizeof converted, codePage);
    size_t put = 0;
    for (size_t i = 0; i < count; i++) {
        unsigned char ch = static_cast<unsigned char>(converted[i]);
        int escaped = ch < 0x20 || ch == 0x7F || ch == '\\';
        size_t width = escaped ? 4 : 1;
        if (put + width >= size)
            break;
        if (escaped)
            snprintf(out + put, 5, "\\x%02X", ch);
        else
            out[put] = converted[i];
        put += width;
    }
    out[put] = '\0';
    return put;
}
