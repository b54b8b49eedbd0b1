#include "patch_text.h"

#include "win32_files.h"

#include <cstring>

size_t FromPatchText(const unsigned char* text, size_t length, char* out, size_t size)
{
    static const int MOST_READ = 4096;
    static WCHAR wide[MOST_READ];
    // Without the UTF-8 code page the process reads the patch code page itself.
    if (GetACP() != CP_UTF8 || length == 0) {
        size_t kept = length < size - 1 ? length : size - 1;
        memcpy(out, text, kept);
        out[kept] = '\0';
        return kept;
    }
    int read = static_cast<int>(length < MOST_READ ? length : MOST_READ);
    int wideLength = MultiByteToWideChar(PatchCodePage(), 0, reinterpret_cast<const char*>(text), read, wide, MOST_READ);
    // Whole characters only: drop the last one until the rest fits.
    if (wideLength > static_cast<int>(size - 1))
        wideLength = static_cast<int>(size - 1);
    int put = 0;
    while (wideLength > 0
           && (put = WideCharToMultiByte(CP_UTF8, 0, wide, wideLength, out, static_cast<int>(size - 1), NULL, NULL)) == 0)
        wideLength--;
    out[put] = '\0';
    return static_cast<size_t>(put);
}
