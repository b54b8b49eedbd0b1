#ifndef MORVEX_WIN_SHARED_H
#define MORVEX_WIN_SHARED_H

#include <windows.h>
#include <shellapi.h>

#include "wide_text.h"

// What both dialog programs share: the message boxes, the path fields and
// drops, and the icons.

// Fields take at most TEXT_LIMIT characters. The buffers hold them in bytes:
// under the UTF-8 code page one character can take three.
enum { TEXT_LIMIT = 255, TEXT_BUFFER_SIZE = 1024 };

// The caption of every message box: each program defines its own.
extern const char ProgramName[];

// Every message box goes through ShowMessageBox (MessageBoxA; tests put a
// recorder in its place); ShowWarning shows a warning with it.
extern int(WINAPI* ShowMessageBox)(HWND owner, LPCSTR text, LPCSTR caption, UINT type);

// Reads a path field into `pathBuffer` (TEXT_BUFFER_SIZE bytes), through
// FromWideText: a name the process cannot pass on exactly is refused, with a
// warning when `warn` is set, and the buffer left as it was.
int ReadPathField(HWND window, int field, char* pathBuffer, int warn);

// The dropped file number `index`, checked as a field's name is (with a
// warning). A name too long for the buffer is left out rather than cut to
// another file's name. Returns 1 when `pathBuffer` holds it.
int DroppedPath(HWND window, HDROP drop, UINT index, char* pathBuffer);

// The program's icon in the caption and the task bar.
void SetProgramIcons(HWND window, HINSTANCE instance);

#endif
