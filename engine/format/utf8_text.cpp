#include "process_text.h"

size_t ReadUtf8Char(const char* text, size_t length, unsigned* point)
{
    const unsigned char* at = reinterpret_cast<const unsigned char*>(text);
    size_t width = at[0] < 0x80 ? 1 : at[0] < 0xC0 ? 0 : at[0] < 0xE0 ? 2 : at[0] < 0xF0 ? 3 : at[0] < 0xF8 ? 4 : 0;
    unsigned value = width == 1 ? at[0] : at[0] & (0x7F >> width);
    size_t i = 1;
    while (i < width && i < length && (at[i] & 0xC0) == 0x80)
        value = value << 6 | (at[i++] & 0x3F);
    // A byte that begins no character, a character cut short, an overlong
    // form, a surrogate or a value past U+10FFFF reads as one '?'.
    static const unsigned least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (width == 0 || i < width || value < least[width] || (value >= 0xD800 && value <= 0xDFFF) || value > 0x10FFFF) {
        *point = '?';
        return 1;
    }
    *point = value;
    return width;
}

// The code points shown are those of the code page tables, all below U+10000.
size_t WriteUtf8Char(unsigned point, char* out)
{
    if (point < 0x80) {
        out[0] = static_cast<char>(point);
        return 1;
    }
    if (point < 0x800) {
        out[0] = static_cast<char>(0xC0 | point >> 6);
        out[1] = static_cast<char>(0x80 | (point & 0x3F));
        return 2;
    }
    out[0] = static_cast<char>(0xE0 | point >> 12);
    out[1] = static_cast<char>(0x80 | (point >> 6 & 0x3F));
    out[2] = static_cast<char>(0x80 | (point & 0x3F));
    return 3;
}
