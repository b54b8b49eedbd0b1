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
    long long modified;      // the last write (POSIX: nanoseconds; Windows: a FILETIME)
    long long changed;       // POSIX: the last change of contents or attributes; Windows: 0
    int held;                // opened by OpenFileToReplace, other writers kept out
};

// Whether two files are one, however their paths were spelled.
inline int SameFile(const FileInfo& a, const FileInfo& b)
{
    return a.volume == b.volume && a.index == b.index;
}

// Whether `now` is the file `then` was, unwritten since: the same file, size and times.
inline int Untouched(const FileInfo& then, const FileInfo& now)
{
    return SameFile(then, now) && then.size == now.size && then.modified == now.modified
           && then.changed == now.changed;
}

enum { TEMP_PATH_SIZE = 1024 };

// Fills `info` for an open stream. Returns 0 when the system cannot say.
int InspectOpenFile(FILE* file, FileInfo* info);

// Opens a plain file for binary reading and fills `info`. Anything else (a
// folder, a device, a FIFO) is refused at once, without waiting on it, with
// the reason in `problem`.
FILE* OpenInputFile(const char* path, FileInfo* info, Problem* problem);

// Opens, like OpenInputFile, a file that is to be replaced by what is made
// from it, and keeps a second Morvex doing the same out until it is closed:
// POSIX takes an advisory lock, waiting while another holds it, and opens
// again where the name has come to name another file meanwhile; Windows
// opens it without sharing writes, waiting while another process holds it
// so (up to 20 seconds). Where the file system or the file's permissions
// allow no lock, the file is opened without one.
FILE* OpenFileToReplace(const char* path, FileInfo* info, Problem* problem);

// Makes an interrupt (POSIX: every signal whose default ends the process and
// that was not ignored at start; Windows: Ctrl+C, Ctrl+Break, a closed
// console) remove the temporary files in flight (see file_replace.h) before
// the process ends with the usual status.
void RemoveTempsOnInterrupt();

// Holds interrupts back while files in flight change names, so that the
// cleanup finds each either temporary or in place; one that came meanwhile
// takes effect at the release.
void HoldInterrupts();
void ReleaseInterrupts();

// Reads up to `length` bytes at `offset` of an open file, without using the
// stream's position. On POSIX reads through one stream do not wait for each
// other; on Windows they do (a handle opened for synchronous reads takes
// one at a time, and each moves its file pointer), so a second thread reads
// through a stream of its own (SecondReader). Returns the number of bytes
// read (fewer at the end of the file), or -1 on a read error, with the
// system's error left for NoteSystemError.
long ReadAt(FILE* file, void* buffer, size_t length, long long offset);

// Tells the system that `length` bytes at `offset` will be read soon, so
// that scattered reads reach the disk together rather than one by one.
// Only a hint: Windows has none to give.
void WillRead(FILE* file, long long offset, long long length);

// A stream of its own over the open file, for a second thread's ReadAt: on
// Windows a new handle to the same file; on POSIX, or where the system
// cannot give one, `file` itself. Close it with CloseSecondReader.
FILE* SecondReader(FILE* file);
void CloseSecondReader(FILE* second, FILE* file);

// Appends `length` bytes of `from`, starting at `offset`, to `to`, letting the
// system copy them without passing them through this process where it can,
// and leaving holes in `to` where `from` has them (POSIX).
// Returns 1, 0 on a read or write error (the system's error left for
// NoteSystemError), or -1 when `from` ends early.
int AppendFileRange(FILE* from, long long offset, long long length, FILE* to);

// Runs work(first) on a second thread and work(second) on this one, and
// returns when both are done. Without a second thread, runs both here.
void RunInParallel(void (*work)(void*), void* first, void* second);

#endif
