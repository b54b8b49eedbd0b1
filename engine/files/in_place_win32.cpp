// Writing a file where it lies, and its journal beside it (see in_place.h).
// Windows has no file without a name, so the journal is written at its name
// (a journal cut short is one the next run knows was never used) and
// removed on every failure. NTFS logs the changes of a folder itself, and
// FlushFileBuffers on a file commits its entry with it, so no folder is
// flushed separately.
#include "in_place.h"
#include "journal.h"
#include "system_calls.h"

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "system_calls.h"
#include "win32_files.h"

static HANDLE HandleOf(FILE* file)
{
    return reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
}

// The journal's path: the file's folder, then the journal's name.
static void JournalPath(const char* path, InPlace* place)
{
    int folder = 0;
    for (int i = 0; path[i]; i++)
        if (path[i] == '\\' || path[i] == '/' || path[i] == ':')
            folder = i + 1;
    JournalName(path + folder, 0, place->journal, sizeof place->journal);
    snprintf(place->journalPath, sizeof place->journalPath, "%.*s%s", folder, path, place->journal);
}

int OpenInPlace(const char* path, InPlace* place, Problem* problem)
{
    memset(place, 0, sizeof *place);
    place->folder = -1;
    if (strlen(path) >= sizeof place->name)
        return NoteError(problem, ERROR_FILENAME_EXCED_RANGE);
    HoldJournalFolder(path, place, problem);
    HANDLE handle = INVALID_HANDLE_VALUE;
    for (int wait = 0; wait < 400 && handle == INVALID_HANDLE_VALUE; wait++) {
        handle = System.CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, NULL,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
        if (handle == INVALID_HANDLE_VALUE && GetLastError() != ERROR_SHARING_VIOLATION)
            break;
        if (handle == INVALID_HANDLE_VALUE)
            Sleep(50);
    }
    if (handle == INVALID_HANDLE_VALUE) {
        // A program running from the file maps it without sharing writes.
        if (GetLastError() == ERROR_SHARING_VIOLATION)
            return IN_PLACE_BUSY;
        DWORD attributes = System.GetFileAttributesA(path);
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
            return NoteReason(problem, "Is a folder");
        return NoteSystemError(problem);
    }
    int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_BINARY);
    place->file = fd < 0 ? NULL : _fdopen(fd, "r+b");
    if (!place->file) {
        NoteError(problem, ERROR_NOT_ENOUGH_MEMORY);
        fd < 0 ? System.CloseHandle(handle) : _close(fd);
        return 0;
    }
    if (!InspectOpenFile(place->file, &place->info) || !place->info.regular) {
        NoteReason(problem, "Not a regular file");
        CloseInPlace(place);
        return 0;
    }
    place->info.held = 1;
    return 1;
}

int HoldJournalFolder(const char* path, InPlace* place, Problem*)
{
    memset(place, 0, sizeof *place);
    place->folder = -1;
    strcpy(place->name, path);
    JournalPath(path, place);
    return 1;
}

void CloseInPlace(InPlace* place)
{
    if (place->file)
        fclose(place->file);
    place->file = NULL;
}

int StillInPlace(InPlace* place, Problem* problem)
{
    BY_HANDLE_FILE_INFORMATION status;
    FileInfo now, opened;
    if (InspectPath(place->name, &status) && InspectOpenFile(place->file, &opened)) {
        HandleInfo(status, &now);
        if (SameFile(now, place->info) && opened.size == place->info.size)
            return 1;
    }
    return NoteReason(problem, ChangedWhileWorking);
}

static int WriteAt(HANDLE handle, const void* bytes, size_t length, long long offset)
{
    for (size_t done = 0; done < length;) {
        long long position = offset + static_cast<long long>(done);
        OVERLAPPED at = {};
        at.Offset = static_cast<DWORD>(position);
        at.OffsetHigh = static_cast<DWORD>(position >> 32);
        DWORD wrote = 0;
        if (!System.WriteFile(handle, static_cast<const char*>(bytes) + done, static_cast<DWORD>(length - done), &wrote, &at))
            return 0;
        if (wrote == 0)
            return SetLastError(ERROR_DISK_FULL), 0;
        done += wrote;
    }
    return 1;
}

int WriteInPlace(InPlace* place, const void* bytes, size_t length, long long offset, Problem* problem)
{
    return WriteAt(HandleOf(place->file), bytes, length, offset) ? 1 : NoteSystemError(problem);
}

int FlushInPlace(InPlace* place, Problem* problem)
{
    return System.FlushFileBuffers(HandleOf(place->file)) ? 1 : NoteSystemError(problem);
}

int LostPrivileges(InPlace*)
{
    return 0;
}

int ReadJournalFile(InPlace* place, unsigned char* bytes, size_t size, long* length, Problem* problem)
{
    *length = -1;
    HANDLE handle = System.CreateFileA(place->journalPath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, NULL,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (handle == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND ? 0 : (NoteError(problem, static_cast<int>(error)), -1);
    }
    size_t total = 0;
    DWORD got = 1;
    while (got && total <= size) {
        char extra;
        int read = total < size ? System.ReadFile(handle, bytes + total, static_cast<DWORD>(size - total), &got, NULL)
                                : System.ReadFile(handle, &extra, 1, &got, NULL);
        if (!read) {
            NoteSystemError(problem);
            System.CloseHandle(handle);
            return -1;
        }
        total += got;
    }
    System.CloseHandle(handle);
    *length = static_cast<long>(total);
    return 1;
}

int WriteJournalFile(InPlace* place, const unsigned char* bytes, size_t length, Problem* problem)
{
    HANDLE handle = System.CreateFileA(place->journalPath, GENERIC_WRITE, 0, NULL, CREATE_NEW, FILE_ATTRIBUTE_HIDDEN, NULL);
    if (handle == INVALID_HANDLE_VALUE)
        return NoteSystemError(problem);
    DWORD wrote = 0;
    int done = System.WriteFile(handle, bytes, static_cast<DWORD>(length), &wrote, NULL) && wrote == length
               && System.FlushFileBuffers(handle);
    if (!done)
        NoteSystemError(problem);
    System.CloseHandle(handle);
    if (!done)
        System.DeleteFileA(place->journalPath);
    return done;
}

int RemoveJournalFile(InPlace* place, Problem* problem)
{
    return System.DeleteFileA(place->journalPath) ? 1 : NoteSystemError(problem);
}

int NameUndoTemp(Replacement*, Problem*)
{
    return 1;
}

void RemoveUndoTemp(const char*) {}

int AbsolutePath(const char* path, char* out, size_t size, Problem* problem)
{
    DWORD length = System.GetFullPathNameA(path, static_cast<DWORD>(size), out, NULL);
    if (length == 0)
        return NoteSystemError(problem);
    return length < size ? 1 : NoteError(problem, ERROR_FILENAME_EXCED_RANGE);
}
