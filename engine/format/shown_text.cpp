#include "shown_text.h"

#include "process_text.h"

#include <cstdio>
#include <cstring>

size_t EscapePoint(unsigned point, int backslash, char* out)
{
    if (point < 0x20 || (point >= 0x7F && point <= 0x9F) || (backslash && point == '\\'))
        return static_cast<size_t>(snprintf(out, ESCAPE_SIZE, "\\x%02X", point));
    return 0;
}

size_t ShowProcessText(const char* text, char* out, size_t size, int backslash)
{
    size_t length = strlen(text), put = 0;
    for (size_t at = 0; at < length;) {
        unsigned point;
        size_t width = ReadProcessChar(text + at, length - at, &point);
        unsigned byte = static_cast<unsigned char>(text[at]);
        // A byte that begins no character reads as '?': it is kept as the
        // byte it is, but escaped where its value is a C1 control's.
        if (point == '?' && byte != '?')
            point = byte >= 0x80 && byte <= 0x9F ? byte : 0xFFFD;
        char escape[ESCAPE_SIZE];
        size_t shown = EscapePoint(point, backslash, escape);
        const char* from = shown ? escape : text + at;
        if (!shown)
            shown = width;
        if (put + shown >= size)
            break;
        memcpy(out + put, from, shown);
        put += shown;
        at += width;
    }
    out[put] = '\0';
    return put;
}
