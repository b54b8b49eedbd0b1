#ifndef MORVEX_WIN32_FILES_H
#define MORVEX_WIN32_FILES_H

#include <windows.h>

// Shared by the engine's Win32 files (platform, destinations).

// What the file or folder at `path` is, opened without access rights.
// Returns 0 when it cannot be opened or asked.
int InspectPath(const char* path, BY_HANDLE_FILE_INFORMATION* status);

// What `status` says of a file, in the engine's terms.
struct FileInfo;
void HandleInfo(const BY_HANDLE_FILE_INFORMATION& status, FileInfo* info);

// Removes the temporary files in flight, for the console's control handler.
void RemoveTempsInFlight();

#endif
