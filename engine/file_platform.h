#ifndef MORVEX_FILE_PLATFORM_H
#define MORVEX_FILE_PLATFORM_H

#include <cstdio>

// What the engine needs of the file system beyond C streams: 64-bit sizes,
// file identity, and writing a file in full before it replaces another.
// One implementation for POSIX, one for Win32 (kernel32 only).

struct FileInfo {
    int regular;             // a plain file, not a folder or device
    long long size;
    unsigned long long volume;
    unsigned long long index; // with volume, names the file however it is spelled
};

enum { TEMP_PATH_SIZE = 1024 };

// Fills `info` for an open stream. Returns 0 when the system cannot say.
int InspectOpenFile(FILE* file, FileInfo* info);

// Looks at what `path` names before anything is written there. Returns 0 when
// a plain open for writing would fail (a folder, a read-only file). `*exists`
// says whether something is there; `info` is filled when it is.
int ProbeWritablePath(const char* path, FileInfo* info, int* exists);

// Creates an empty file with a fresh name in the folder of `path` and opens it
// for binary writing; its name goes to `tempPath` (TEMP_PATH_SIZE bytes).
// Returns NULL when that folder cannot take a new file.
FILE* CreateTempBeside(const char* path, char* tempPath);

// Flushes the stream to the disk and closes it. Returns 0 if any step failed;
// the stream is closed either way.
int CommitFile(FILE* file);

// Moves `tempPath` over `path` in one step, replacing what is there.
int MoveTempOver(const char* tempPath, const char* path);

#endif
