#include "process_text.h"

size_t ReadUtf8Char(const char* text, size_t length, unsigned* point)
{
    const unsigned char* at = reinterpret_cast<const unsigned char*>(text);
    unsigned lead = at[0];
    size_t width = lead < 0x80 ? 1 : lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
                 : lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
    unsigned value = width == 1 ? lead : width == 2 ? lead & 0x1F : width == 3 ? lead & 0x0F : lead & 0x07;
    if (width == 0 || width > length) {
        *point = '?';
        return 1;
    }
    for (size_t i = 1; i < width; i++) {
        if ((at[i] & 0xC0) != 0x80) {
            *point = '?';
            return 1;
        }
        value = value << 6 | (at[i] & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are no characters.
    static const unsigned least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (value < least[width] || (value >= 0xD800 && value <= 0xDFFF) || value > 0x10FFFF) {
        *point = '?';
        return 1;
    }
    *point = value;
    return width;
}

size_t WriteUtf8Char(unsigned point, char* out)
{
    if ((point >= 0xD800 && point <= 0xDFFF) || point > 0x10FFFF)
        return 0;
    size_t width = point < 0x80 ? 1 : point < 0x800 ? 2 : point < 0x10000 ? 3 : 4;
    static const unsigned char leads[] = {0, 0, 0xC0, 0xE0, 0xF0};
    for (size_t i = width - 1; i > 0; i--, point >>= 6)
        out[i] = static_cast<char>(0x80 | (point & 0x3F));
    out[0] = static_cast<char>(leads[width] | point);
    return width;
}
