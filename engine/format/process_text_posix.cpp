#include "process_text.h"

#include <cstring>
#include <iconv.h>
#include <langinfo.h>

// The locale's character set, or NULL for UTF-8, which the C locale's
// (glibc's ANSI_X3.4-1968, musl's ASCII) is taken as: it is what a name
// typed there most likely is and what the browser hands over.
static const char* LocaleCharset()
{
    const char* charset = nl_langinfo(CODESET);
    if (!charset[0] || strcmp(charset, "ANSI_X3.4-1968") == 0 || strcmp(charset, "ASCII") == 0
        || strcmp(charset, "UTF-8") == 0)
        return NULL;
    return charset;
}

size_t ReadProcessChar(const char* text, size_t length, unsigned* point)
{
    const char* charset = LocaleCharset();
    if (!charset)
        return ReadUtf8Char(text, length, point);
    iconv_t cd = iconv_open("UCS-4LE", charset);
    unsigned char wide[4];
    char* in = const_cast<char*>(text);
    char* out = reinterpret_cast<char*>(wide);
    size_t left = length, room = sizeof wide;
    // Room for one character: the conversion stops after it, or fails before.
    if (cd != reinterpret_cast<iconv_t>(-1)) {
        iconv(cd, &in, &left, &out, &room);
        iconv_close(cd);
    }
    if (room != 0) {
        *point = '?';
        return 1;
    }
    *point = wide[0] | wide[1] << 8 | wide[2] << 16 | static_cast<unsigned>(wide[3]) << 24;
    return length - left;
}

size_t WriteProcessChar(unsigned point, char* out)
{
    const char* charset = LocaleCharset();
    if (!charset)
        return WriteUtf8Char(point, out);
    iconv_t cd = iconv_open(charset, "UCS-4LE");
    unsigned char wide[4] = {static_cast<unsigned char>(point), static_cast<unsigned char>(point >> 8),
                             static_cast<unsigned char>(point >> 16), static_cast<unsigned char>(point >> 24)};
    char* in = reinterpret_cast<char*>(wide);
    char* at = out;
    size_t left = sizeof wide, room = PROCESS_CHAR_MOST;
    // A C library that puts a stand-in for a character the set lacks counts
    // it as irreversible instead of failing: that is a missing one too.
    if (cd == reinterpret_cast<iconv_t>(-1))
        return 0;
    size_t failed = iconv(cd, &in, &left, &at, &room);
    iconv_close(cd);
    return failed != 0 ? 0 : static_cast<size_t>(at - out);
}

unsigned DefaultCodePage()
{
    return 1252;
}
