#include "file_replace.h"

#include <cstring>
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "win32_files.h"

// Temporary files in flight, for the console's control handler, which runs
// on a thread of its own: a slot is published only once its file exists.
enum { SLOTS = 4 };
static char SlotName[SLOTS][TEMP_PATH_SIZE];
static volatile LONG SlotInUse[SLOTS];

// Each temporary file is open with delete sharing, so this works while the
// main thread still writes it; the file goes when the process ends.
void RemoveTempsInFlight()
{
    for (int slot = 0; slot < SLOTS; slot++)
        if (SlotInUse[slot])
            DeleteFileA(SlotName[slot]);
}

static void FillFrom(const BY_HANDLE_FILE_INFORMATION& status, Replacement* r)
{
    r->info.regular = !(status.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    r->info.size = static_cast<long long>((static_cast<unsigned long long>(status.nFileSizeHigh) << 32)
                                          | status.nFileSizeLow);
    r->info.volume = status.dwVolumeSerialNumber;
    r->info.index = (static_cast<unsigned long long>(status.nFileIndexHigh) << 32) | status.nFileIndexLow;
    r->otherNames = static_cast<long>(status.nNumberOfLinks) - 1;
}

// Where a link or junction leads; from Windows Vista on, so looked up here.
static int FinalPath(HANDLE handle, char* path, Problem* problem)
{
    typedef DWORD(WINAPI * FinalPathFunction)(HANDLE, LPSTR, DWORD, DWORD);
    FinalPathFunction finalPath = reinterpret_cast<FinalPathFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetFinalPathNameByHandleA")));
    DWORD length = finalPath ? finalPath(handle, path, TEMP_PATH_SIZE, 0) : 0;
    if (length == 0 || length >= TEMP_PATH_SIZE)
        return finalPath ? NoteSystemError(problem) : NoteReason(problem, "The link cannot be followed");
    if (strncmp(path, "\\\\?\\", 4) == 0 && path[5] == ':')
        memmove(path, path + 4, strlen(path + 4) + 1); // a plain drive path again
    return 1;
}

// ReplaceFileA wants a full path.
static int FullPath(const char* path, char* full, Problem* problem)
{
    DWORD length = GetFullPathNameA(path, TEMP_PATH_SIZE, full, NULL);
    if (length == 0 || length >= TEMP_PATH_SIZE)
        return length ? NoteReason(problem, "The file name is too long") : NoteSystemError(problem);
    return 1;
}

// Looks at what `path` names, through a link or junction to where it leads,
// which becomes the name replaced. Only "nothing there" lets it pass unseen.
static int Look(const char* path, Replacement* r, Problem* problem)
{
    DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND)
            return NoteError(problem, static_cast<int>(error));
        return FullPath(path, r->name, problem);
    }
    r->exists = 1;
    r->mode = attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE);
    HANDLE handle = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, NULL);
    BY_HANDLE_FILE_INFORMATION status;
    int ok = handle != INVALID_HANDLE_VALUE && GetFileInformationByHandle(handle, &status);
    if (!ok)
        NoteSystemError(problem);
    else if (FillFrom(status, r), !r->info.regular || GetFileType(handle) != FILE_TYPE_DISK)
        ok = 0, NoteReason(problem, "Not a regular file");
    else if (attributes & FILE_ATTRIBUTE_READONLY)
        ok = 0, NoteReason(problem, "The file is read-only");
    else if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        ok = FullPath(path, r->name, problem);
    else
        ok = FinalPath(handle, r->name, problem);
    if (handle != INVALID_HANDLE_VALUE)
        CloseHandle(handle);
    return ok;
}

int BeginReplace(const char* path, Replacement* r, Problem* problem)
{
    memset(r, 0, sizeof *r);
    r->slot = -1;
    if (!Look(path, r, problem))
        return 0;
    int slot = 0;
    while (slot < SLOTS && SlotInUse[slot])
        slot++;
    char folder[TEMP_PATH_SIZE] = ".";
    const char* end = r->name;
    for (const char* p = r->name; *p; p++)
        if (*p == '\\' || *p == '/' || *p == ':')
            end = p + 1;
    if (end > r->name) {
        memcpy(folder, r->name, static_cast<size_t>(end - r->name));
        folder[end - r->name] = '\0';
    }
    // GetTempFileNameA makes the file, so the name cannot be taken twice; it
    // is opened once, with delete sharing, and written through that handle.
    if (slot == SLOTS || GetTempFileNameA(folder, "mvx", 0, r->temp) == 0)
        return NoteSystemError(problem);
    strcpy(SlotName[slot], r->temp);
    InterlockedExchange(&SlotInUse[slot], 1);
    r->slot = slot;
    HANDLE handle = CreateFileA(r->temp, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, NULL, TRUNCATE_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, NULL);
    int fd = handle == INVALID_HANDLE_VALUE ? -1 : _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_BINARY);
    if (handle == INVALID_HANDLE_VALUE)
        NoteSystemError(problem);
    else if (fd < 0)
        CloseHandle(handle);
    else if (!(r->file = _fdopen(fd, "wb")))
        _close(fd);
    if (!r->file) {
        AbandonReplace(r);
        return 0;
    }
    return 1;
}

void AbandonReplace(Replacement* r)
{
    if (r->file)
        fclose(r->file);
    r->file = NULL;
    if (r->slot >= 0) {
        DeleteFileA(r->temp);
        InterlockedExchange(&SlotInUse[r->slot], 0);
        r->slot = -1;
    }
}

static int Flush(Replacement* r, Problem* problem)
{
    int ok = !ferror(r->file) && fflush(r->file) == 0
             && FlushFileBuffers(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(r->file))));
    if (!ok)
        NoteSystemError(problem);
    if (fclose(r->file) != 0 && ok)
        ok = 0, NoteReason(problem, "The file could not be written");
    r->file = NULL;
    return ok;
}

static int Unchanged(Replacement* r, Problem* problem)
{
    BY_HANDLE_FILE_INFORMATION status;
    int found = InspectPath(r->name, &status);
    DWORD error = GetLastError();
    Replacement now;
    if (found)
        FillFrom(status, &now);
    if (r->exists ? found && SameFile(now.info, r->info)
                  : !found && (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND))
        return 1;
    r->changed = 1;
    NoteReason(problem, ChangedWhileWorking);
    return 0;
}

// An existing file is replaced with ReplaceFileA, which keeps its attributes,
// ACL and streams; the replaced file stays under `backup` until the caller
// removes it. Where ReplaceFileA fails halfway, with the replaced file
// already moved to the backup name, it is put back.
static int Move(Replacement* r, const char* backup, Problem* problem)
{
    if (r->exists ? ReplaceFileA(r->name, r->temp, backup, REPLACEFILE_IGNORE_MERGE_ERRORS, NULL, NULL)
                  : MoveFileExA(r->temp, r->name, MOVEFILE_WRITE_THROUGH)) {
        if (r->exists) // Wine's ReplaceFile drops the attributes
            SetFileAttributesA(r->name, r->mode ? r->mode : FILE_ATTRIBUTE_NORMAL);
        return 1;
    }
    DWORD error = GetLastError();
    NoteSystemError(problem);
    if (r->exists && error == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2)
        MoveFileExA(backup, r->name, MOVEFILE_WRITE_THROUGH);
    return 0;
}

int CommitReplace(Replacement* first, Replacement* second, Replacement** failed, Problem* problem)
{
    Replacement* all[2] = {first, second};
    int count = second ? 2 : 1;
    *failed = NULL;
    for (int i = 0; i < count && !*failed; i++)
        if (!Flush(all[i], problem))
            *failed = all[i];
    for (int i = 0; i < count && !*failed; i++)
        if (!Unchanged(all[i], problem))
            *failed = all[i];
    // The first file's old contents wait under its backup name until the
    // second is in place, and come back if it cannot be.
    char backup[2][TEMP_PATH_SIZE];
    for (int i = 0; i < count; i++)
        strcat(strcpy(backup[i], all[i]->temp), "~");
    if (!*failed && !Move(first, backup[0], problem))
        *failed = first;
    else if (!*failed && second && !Move(second, backup[1], problem)) {
        *failed = second;
        if (first->exists)
            MoveFileExA(backup[0], first->name, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
        else
            DeleteFileA(first->name);
    }
    for (int i = 0; i < count; i++) {
        if (!*failed && all[i]->exists)
            DeleteFileA(backup[i]);
        AbandonReplace(all[i]);
    }
    return !*failed;
}
