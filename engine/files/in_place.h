#ifndef MORVEX_IN_PLACE_H
#define MORVEX_IN_PLACE_H

// Writing a file where it lies, under a rollback journal beside it (see
// journal.h for what the journal holds). One implementation for POSIX, one
// for Win32. Each call returns 1, or 0 with the reason in `problem`; the
// caller names the file.
#include "platform.h"
#include "problem.h"

#include <cstddef>

enum { JOURNAL_NAME_SIZE = 256 };

// The state of one apply in place, owned by the caller.
struct InPlace {
    FILE* file;      // the file, open for reading and writing (ReadAt reads it)
    FileInfo info;   // as it was when opened and locked
    int unlocked;    // the system could give no lock: a second Morvex is not kept out
    int privileges;  // POSIX: setuid/setgid bits and file capabilities it had
    int folder;      // POSIX: the file's folder, opened so that it can be flushed
    int folderless;  // 1: the file's folder could not be held; 2: not so that it can be flushed
    char name[TEMP_PATH_SIZE];        // the file's final name (POSIX: in `folder`; Windows: its path)
    char journal[JOURNAL_NAME_SIZE];  // the journal's name beside it
    char journalPath[TEMP_PATH_SIZE + JOURNAL_NAME_SIZE]; // the journal as a path, for the lines that name it
    int journalOpen;                  // Windows: a journal was created and may need removing
};

enum { IN_PLACE_BUSY = -1 };

// Opens the file at `path` for reading and writing and takes the lock two
// Morvex take in turn (POSIX: flock, waiting while another holds it;
// Windows: no write sharing, waiting up to 20 seconds), then opens its
// folder so that it can be flushed. Returns IN_PLACE_BUSY (nothing held)
// when a program is running from the file, so that it cannot be written
// where it lies. A lock the system cannot give leaves `unlocked` set.
int OpenInPlace(const char* path, InPlace* place, Problem* problem);

// Holds the folder of the file at `path` and names its journal, as
// OpenInPlace does, without opening the file: for reading a journal only.
int HoldJournalFolder(const char* path, InPlace* place, Problem* problem);

// Closes the file, where one is open, and its folder.
void CloseInPlace(InPlace* place);

// Whether the file's name still leads to the file held open, unchanged in size.
int StillInPlace(InPlace* place, Problem* problem);

// Writes `length` bytes at `offset` of the file.
int WriteInPlace(InPlace* place, const void* bytes, size_t length, long long offset, Problem* problem);

// Flushes the file's data to the disk (fdatasync; FlushFileBuffers).
int FlushInPlace(InPlace* place, Problem* problem);

// Whether the writes took setuid/setgid bits or file capabilities the file had.
int LostPrivileges(InPlace* place);

// Reads the journal beside the file into `bytes` (`size` bytes). Returns 1
// with its length in `*length`, 0 where there is none, or -1 with the
// reason where it cannot be read. A journal larger than `size` reads as
// `size` + 1 bytes, which no journal is.
int ReadJournalFile(InPlace* place, unsigned char* bytes, size_t size, long* length, Problem* problem);

// Writes the journal whole and flushes it and its folder; it takes its name
// only once whole where the system can create a file without one. On any
// failure nothing is left at the journal's name.
int WriteJournalFile(InPlace* place, const unsigned char* bytes, size_t length, Problem* problem);

// Removes the journal and flushes its folder. Returns 1, 0 where it cannot
// be removed, or -1 where it was but the folder cannot be flushed.
int RemoveJournalFile(InPlace* place, Problem* problem);

// Gives the undo patch's replacement, where it replaces a file, its
// temporary name before the commit moves it into place: one derived from
// the undo patch's name, which RemoveUndoTemp finds again after a kill.
// Where the temporary file has a name from the start (Windows), does nothing.
struct Replacement;
int NameUndoTemp(Replacement* undo, Problem* problem);

// Removes what a killed apply left under that temporary name.
void RemoveUndoTemp(const char* undoPath);

// `path` as an absolute path, for a journal read from elsewhere later.
int AbsolutePath(const char* path, char* out, size_t size, Problem* problem);

#endif
