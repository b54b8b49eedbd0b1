#include "patch_text.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iconv.h>
#include <langinfo.h>
#include <wchar.h>

static unsigned Selected;

void SelectCodePage(unsigned codePage)
{
    Selected = codePage;
}

unsigned SelectedCodePage()
{
    return Selected;
}

// iconv's name of a Windows code page. A C library without CP932 (musl, in
// the browser) has Shift_JIS, which differs from it in a few symbols only.
static const char* CodePageName(unsigned codePage)
{
    static char name[16];
    snprintf(name, sizeof name, "CP%u", codePage ? codePage : 1252);
    if (codePage == 932) {
        iconv_t cd = iconv_open(name, "UTF-8");
        if (cd == reinterpret_cast<iconv_t>(-1))
            return "SHIFT_JIS";
        iconv_close(cd);
    }
    return name;
}

// The locale's character set; the C locale's (glibc's ANSI_X3.4-1968,
// musl's ASCII) is taken as UTF-8, which is what a name typed there most
// likely is and what the browser hands over.
static const char* LocaleCharset()
{
    const char* charset = nl_langinfo(CODESET);
    return !charset[0] || strcmp(charset, "ANSI_X3.4-1968") == 0 || strcmp(charset, "ASCII") == 0 ? "UTF-8" : charset;
}

// Converts into wide characters, one '?' for each byte that does not begin a
// character the charset maps. Returns the characters put.
static size_t ToWide(const char* from, const char* text, size_t length, wchar_t* wide, size_t most)
{
    iconv_t cd = iconv_open("WCHAR_T", from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return 0;
    char* in = const_cast<char*>(text);
    char* out = reinterpret_cast<char*>(wide);
    size_t room = most * sizeof(wchar_t);
    while (length > 0 && room >= sizeof(wchar_t)) {
        if (iconv(cd, &in, &length, &out, &room) != static_cast<size_t>(-1))
            break;
        if (errno != EILSEQ && errno != EINVAL)
            break;
        // A byte it cannot map, or a character cut short at the end.
        wchar_t mark = L'?';
        memcpy(out, &mark, sizeof mark);
        out += sizeof mark, room -= sizeof mark;
        in++, length--;
        if (errno == EINVAL)
            break;
    }
    iconv_close(cd);
    return (most * sizeof(wchar_t) - room) / sizeof(wchar_t);
}

// Converts wide characters one at a time, so that each one `to` lacks
// becomes one '?' and a character that would not fit whole is left out.
static size_t FromWide(const char* to, const wchar_t* wide, size_t count, char* out, size_t size)
{
    size_t room = size - 1;
    iconv_t cd = iconv_open(to, "WCHAR_T");
    if (cd != reinterpret_cast<iconv_t>(-1)) {
        for (size_t i = 0; i < count; i++) {
            char* in = reinterpret_cast<char*>(const_cast<wchar_t*>(wide + i));
            size_t left = sizeof(wchar_t);
            char* at = out + (size - 1 - room);
            size_t before = room;
            // musl puts '*' for a character it lacks and counts it as
            // irreversible instead of failing: that is a missing one too.
            if (iconv(cd, &in, &left, &at, &room) == 0 && iconv(cd, NULL, NULL, &at, &room) == 0)
                continue;
            room = before;
            if (errno == E2BIG || room == 0)
                break;
            out[size - 1 - room] = '?';
            room--;
        }
        iconv_close(cd);
    }
    out[size - 1 - room] = '\0';
    return size - 1 - room;
}

// Room for the longest comment a patch can hold.
static const size_t MostWide = 1 << 20;
static wchar_t Wide[MostWide];

size_t ToPatchText(const char* text, char* out, size_t size, unsigned codePage)
{
    size_t count = ToWide(LocaleCharset(), text, strnlen(text, MostWide), Wide, MostWide);
    return FromWide(CodePageName(codePage), Wide, count, out, size);
}

size_t FromPatchText(const unsigned char* text, size_t length, char* out, size_t size, unsigned codePage)
{
    size_t count = ToWide(CodePageName(codePage), reinterpret_cast<const char*>(text),
                          length < MostWide ? length : MostWide, Wide, MostWide);
    // A C1 control could drive a terminal as an escape does; no code page means one.
    for (size_t i = 0; i < count; i++)
        if (Wide[i] >= 0x80 && Wide[i] <= 0x9F)
            Wide[i] = L'?';
    return FromWide(LocaleCharset(), Wide, count, out, size);
}

size_t PatchCharLength(const char* text, unsigned codePage)
{
    if (static_cast<unsigned char>(text[0]) < 0x80 || !text[1])
        return 1;
    // Two bytes that give one character are one.
    wchar_t wide[2];
    return ToWide(CodePageName(codePage), text, 2, wide, 2) == 1 && wide[0] != L'?' ? 2 : 1;
}

int KnownCodePage(unsigned codePage)
{
    static const char ascii[] = " !\"#$%&'()*+,-./0123456789:;<=>?@ABCDEFGHIJKLMNOPQRSTUVWXYZ[\\]^_`abcdefghijklmnopqrstuvwxyz{|}~";
    iconv_t to = iconv_open(CodePageName(codePage), "WCHAR_T");
    iconv_t from = iconv_open("WCHAR_T", CodePageName(codePage));
    int known = to != reinterpret_cast<iconv_t>(-1) && from != reinterpret_cast<iconv_t>(-1);
    if (to != reinterpret_cast<iconv_t>(-1))
        iconv_close(to);
    if (from != reinterpret_cast<iconv_t>(-1))
        iconv_close(from);
    if (!known)
        return 0;
    wchar_t wide[sizeof ascii];
    for (size_t i = 0; i < sizeof ascii; i++)
        wide[i] = static_cast<unsigned char>(ascii[i]);
    char back[2 * sizeof ascii];
    return FromWide(CodePageName(codePage), wide, sizeof ascii - 1, back, sizeof back) == sizeof ascii - 1
           && strcmp(back, ascii) == 0;
}
