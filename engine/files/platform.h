#ifndef MORVEX_PLATFORM_H
#define MORVEX_PLATFORM_H

#include "problem.h"

#include <cstdio>

// What the engine needs of the system beyond C streams: 64-bit sizes, file
// identity, reads at an offset, and a second thread for the comparison.
// One implementation for POSIX, one for Win32 (kernel32 only).

struct FileInfo {
    int regular;             // a plain file, not a folder or device
    long long size;
    unsigned long long volume;
    unsigned long long index; // with volume, names the file however it is spelled
};

// Whether two files are one, however their paths were spelled.
inline int SameFile(const FileInfo& a, const FileInfo& b)
{
    return a.volume == b.volume && a.index == b.index;
}

enum { TEMP_PATH_SIZE = 1024 };

// Fills `info` for an open stream. Returns 0 when the system cannot say.
int InspectOpenFile(FILE* file, FileInfo* info);

// Opens a plain file for binary reading and fills `info`. Anything else (a
// folder, a device, a FIFO) is refused at once, without waiting on it, with
// the reason in `problem`.
FILE* OpenInputFile(const char* path, FileInfo* info, Problem* problem);

// Makes an interrupt (Ctrl+C, SIGTERM, SIGHUP, a closed console) remove the
// temporary files in flight (see file_replace.h) before the process ends
// with the usual status.
void RemoveTempsOnInterrupt();

// Reads up to `length` bytes at `offset` of an open file, without using or
// moving the stream's position, so two threads may read one file at once.
// Returns the number of bytes read (fewer at the end of the file), or -1 on
// a read error, with the system's error left for NoteSystemError.
long ReadAt(FILE* file, void* buffer, size_t length, long long offset);

// Appends `length` bytes of `from`, starting at `offset`, to `to`, letting the
// system copy them without passing them through this process where it can.
// Returns 1, 0 on a read or write error (the system's error left for
// NoteSystemError), or -1 when `from` ends early.
int AppendFileRange(FILE* from, long long offset, long long length, FILE* to);

// Runs work(first) on a second thread and work(second) on this one, and
// returns when both are done. Without a second thread, runs both here.
void RunInParallel(void (*work)(void*), void* first, void* second);

#endif
