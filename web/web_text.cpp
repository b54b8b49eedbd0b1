#include "web_text.h"

#include "patch_text.h"
#include "platform.h"

#include <iconv.h>

#include <cstdio>
#include <cstring>

static unsigned CodePage = 1252;

void UsePatchCodePage(unsigned codePage)
{
    CodePage = KnownCodePage(codePage) ? codePage : 1252;
}

static iconv_t OpenConversion(unsigned codePage, int toPatch)
{
    char name[16];
    if (codePage == 932)
        snprintf(name, sizeof name, "SHIFT_JIS");
    else
        snprintf(name, sizeof name, "WINDOWS-%u", codePage);
    return toPatch ? iconv_open(name, "UTF-8") : iconv_open("UTF-8", name);
}

int KnownCodePage(unsigned codePage)
{
    iconv_t conversion = OpenConversion(codePage, 1);
    if (conversion == reinterpret_cast<iconv_t>(-1))
        return 0;
    iconv_close(conversion);
    return 1;
}

// Converts one character at a time, so that a character the other side lacks
// becomes one '?' and the text is cut only between characters.
static size_t Convert(const unsigned char* text, size_t length, char* out, size_t size, unsigned codePage, int toPatch)
{
    iconv_t conversion = OpenConversion(codePage, toPatch);
    size_t used = 0;
    if (size == 0)
        return 0;
    for (size_t at = 0; at < length;) {
        size_t step = 1;
        if (toPatch)
            while (at + step < length && (text[at + step] & 0xC0) == 0x80)
                step++;
        else if (codePage == 932 && at + 1 < length && ((text[at] >= 0x81 && text[at] <= 0x9F) || text[at] >= 0xE0))
            step = 2;
        char piece[8];
        char* in = reinterpret_cast<char*>(const_cast<unsigned char*>(text + at));
        char* put = piece;
        size_t inLeft = step, outLeft = sizeof piece;
        int whole = conversion != reinterpret_cast<iconv_t>(-1) && iconv(conversion, &in, &inLeft, &put, &outLeft) == 0
                    && inLeft == 0 && (put - piece != 1 || piece[0] != '*' || text[at] == '*');
        size_t pieceLength = whole ? static_cast<size_t>(put - piece) : 1;
        if (!whole)
            piece[0] = '?';
        if (used + pieceLength > size - 1)
            break;
        memcpy(out + used, piece, pieceLength);
        used += pieceLength;
        at += step;
    }
    out[used] = '\0';
    if (conversion != reinterpret_cast<iconv_t>(-1))
        iconv_close(conversion);
    return used;
}

size_t ToPatchText(const char* text, char* out, size_t size, unsigned codePage)
{
    return Convert(reinterpret_cast<const unsigned char*>(text), strlen(text), out, size, codePage, 1);
}

size_t FromPatchText(const unsigned char* text, size_t length, char* out, size_t size, unsigned codePage)
{
    return Convert(text, length, out, size, codePage, 0);
}

// The engine's own conversions, in the page's code page.
void ToPatchText(const char* text, char* out, size_t size)
{
    ToPatchText(text, out, size, CodePage);
}

size_t FromPatchText(const unsigned char* text, size_t length, char* out, size_t size)
{
    return FromPatchText(text, length, out, size, CodePage);
}
