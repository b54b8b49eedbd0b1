#include "output.h"

#include <cstring>
#include <windows.h>

enum { PIECE_SIZE = 4096 };

static int WriteFailed;

int ConsoleFailed()
{
    return WriteFailed;
}

// How much of `text` (`length` bytes), at most `most` bytes, ends with a whole character.
static size_t PieceLength(const char* text, size_t length, size_t most)
{
    if (length <= most)
        return length;
    size_t end = most;
    if (GetACP() == CP_UTF8) {
        while (end > 0 && (text[end] & 0xC0) == 0x80)
            end--;
        return end ? end : most; // not UTF-8 after all: cut anywhere rather than stall
    }
    end = 0;
    for (size_t next = 0; next <= most; next += IsDBCSLeadByte(static_cast<BYTE>(text[next])) ? 2 : 1)
        end = next;
    return end;
}

void PutText(FILE* stream, const char* text)
{
    static WCHAR wide[PIECE_SIZE];
    static char utf8[3 * PIECE_SIZE];
    HANDLE handle = GetStdHandle(stream == stderr ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
    DWORD mode;
    bool console = GetConsoleMode(handle, &mode);
    if (!console && GetACP() == CP_UTF8) {
        fputs(text, stream);
        return;
    }
    for (size_t length = strlen(text); length > 0;) {
        size_t piece = PieceLength(text, length, PIECE_SIZE);
        int count = MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(piece), wide, PIECE_SIZE);
        DWORD written;
        if (console) {
            if (!WriteConsoleW(handle, wide, count, &written, NULL) || written != static_cast<DWORD>(count))
                WriteFailed = 1;
        } else {
            int bytes = WideCharToMultiByte(CP_UTF8, 0, wide, count, utf8, sizeof utf8, NULL, NULL);
            fwrite(utf8, 1, static_cast<size_t>(bytes), stream);
        }
        text += piece;
        length -= piece;
    }
}
