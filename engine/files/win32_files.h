#ifndef MORVEX_WIN32_FILES_H
#define MORVEX_WIN32_FILES_H

#include <windows.h>

// Shared by the engine's Win32 files (platform, destinations).

// What the file or folder at `path` is, opened without access rights.
// Returns 0 when it cannot be opened or asked.
int InspectPath(const char* path, BY_HANDLE_FILE_INFORMATION* status);

#endif
