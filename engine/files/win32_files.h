#ifndef MORVEX_WIN32_FILES_H
#define MORVEX_WIN32_FILES_H

#include <windows.h>

// Shared by the engine's Win32 files (platform, destinations, patch text).

// The code page of the user's locale for programs that are not Unicode,
// which is the one patches are written in.
UINT PatchCodePage();

// What the file or folder at `path` is, opened without access rights.
// Returns 0 when it cannot be opened or asked.
int InspectPath(const char* path, BY_HANDLE_FILE_INFORMATION* status);

#endif
