#include "file_replace.h"

#include "path_name.h"

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "system_calls.h"
#include "win32_files.h"

// Temporary files in flight, for the console's control handler, which runs
// on a thread of its own: a slot is published only once its file exists.
// The handler waits for a commit in progress, which gives up the slots of
// the files it moved into place.
enum { SLOTS = 4 };
static char SlotName[SLOTS][TEMP_PATH_SIZE];
static volatile LONG SlotInUse[SLOTS];

// Each temporary file is open with delete sharing, so this works while the
// main thread still writes it; the file goes when the process ends.
void RemoveTempsInFlight()
{
    for (int slot = 0; slot < SLOTS; slot++)
        if (SlotInUse[slot])
            System.DeleteFileA(SlotName[slot]);
}

static void FillFrom(const BY_HANDLE_FILE_INFORMATION& status, Replacement* r)
{
    HandleInfo(status, &r->info);
    r->otherNames = static_cast<long>(status.nNumberOfLinks) - 1;
}

// Where a link or junction leads (from Windows Vista on).
static int FinalPath(HANDLE handle, char* path, Problem* problem)
{
    DWORD length = System.GetFinalPathNameByHandleA(handle, path, TEMP_PATH_SIZE, 0);
    if (length == 0 && GetLastError() == ERROR_CALL_NOT_IMPLEMENTED)
        return NoteReason(problem, "The link cannot be followed");
    if (length == 0 || length >= TEMP_PATH_SIZE)
        return NoteSystemError(problem);
    if (strncmp(path, "\\\\?\\", 4) == 0 && path[5] == ':')
        memmove(path, path + 4, strlen(path + 4) + 1); // a plain drive path again
    return 1;
}

// ReplaceFileA wants a full path.
static int FullPath(const char* path, char* full, Problem* problem)
{
    DWORD length = System.GetFullPathNameA(path, TEMP_PATH_SIZE, full, NULL);
    if (length == 0 || length >= TEMP_PATH_SIZE)
        return length ? NoteReason(problem, "The file name is too long") : NoteSystemError(problem);
    return 1;
}

// Looks at what `path` names, through a link or junction to where it leads,
// which becomes the name replaced. Only "nothing there" lets it pass unseen.
// A file held open to be replaced (`held`) is looked at through that handle,
// since opening it again for writing would conflict with it.
static int Look(const char* path, HANDLE held, Replacement* r, Problem* problem)
{
    DWORD attributes = System.GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND)
            return NoteError(problem, static_cast<int>(error));
        return FullPath(path, r->name, problem);
    }
    r->exists = 1;
    r->mode = attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE);
    HANDLE handle = held ? held
                         : System.CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       NULL, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, NULL);
    BY_HANDLE_FILE_INFORMATION status;
    int ok = handle != INVALID_HANDLE_VALUE && System.GetFileInformationByHandle(handle, &status);
    if (!ok) {
        NoteSystemError(problem);
        if (InspectPath(path, &status))
            FillFrom(status, r); // what it is, for a caller that refuses it as such
    } else if (FillFrom(status, r), !r->info.regular || System.GetFileType(handle) != FILE_TYPE_DISK)
        ok = 0, NoteReason(problem, "Not a regular file");
    else if (attributes & FILE_ATTRIBUTE_READONLY)
        ok = 0, NoteReason(problem, "The file is read-only");
    else if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        ok = FullPath(path, r->name, problem);
    else
        ok = FinalPath(handle, r->name, problem);
    if (!held && handle != INVALID_HANDLE_VALUE)
        System.CloseHandle(handle);
    return ok;
}

// Makes a new file in `folder` (ending in a separator) under a name no file
// has, as GetTempFileNameA would, and opens it with delete sharing. The
// reason of a failure is the create's own: GetTempFileNameA gives "the
// directory name is invalid" for a folder that is not there.
static HANDLE CreateTemp(const char* folder, char* temp, Problem* problem)
{
    unsigned start = GetTickCount() + (GetCurrentProcessId() << 8);
    for (unsigned tried = 0; tried < 0x10000; tried++) {
        snprintf(temp, TEMP_PATH_SIZE, "%smvx%04X.tmp", folder, (start + tried) & 0xFFFF);
        HANDLE handle = System.CreateFileA(temp, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, NULL, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, NULL);
        if (handle != INVALID_HANDLE_VALUE)
            return handle;
        DWORD error = GetLastError();
        // The name is taken, or held by a file on its way out (access denied
        // there, as in a folder that takes no new file, where no file is).
        int taken = error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS || error == ERROR_SHARING_VIOLATION
                    || (error == ERROR_ACCESS_DENIED && System.GetFileAttributesA(temp) != INVALID_FILE_ATTRIBUTES);
        if (!taken)
            return NoteError(problem, static_cast<int>(error)), INVALID_HANDLE_VALUE;
    }
    NoteError(problem, ERROR_FILE_EXISTS);
    return INVALID_HANDLE_VALUE;
}

int BeginReplace(const char* path, FILE* read, const FileInfo* readInfo, Replacement* r, Problem* problem)
{
    memset(r, 0, sizeof *r);
    r->slot = -1;
    HANDLE held = read && readInfo->held ? reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(read))) : NULL;
    if (!Look(path, held, r, problem))
        return 0;
    // Begun from a file that was read, the commit compares with that file as
    // it was when it was read; a name that leads to nothing now is refused.
    if (readInfo && !r->exists) {
        r->changed = 1;
        return NoteReason(problem, ChangedWhileWorking);
    }
    if (readInfo)
        r->info = *readInfo;
    int slot = 0;
    while (slot < SLOTS && SlotInUse[slot])
        slot++;
    char folder[TEMP_PATH_SIZE] = ".\\";
    const char* end = LastComponent(r->name);
    if (end > r->name)
        snprintf(folder, sizeof folder, "%.*s", static_cast<int>(end - r->name), r->name);
    if (slot == SLOTS)
        return NoteReason(problem, "Too many files in flight");
    HANDLE handle = CreateTemp(folder, r->temp, problem);
    if (handle == INVALID_HANDLE_VALUE)
        return 0;
    strcpy(SlotName[slot], r->temp);
    InterlockedExchange(&SlotInUse[slot], 1);
    r->slot = slot;
    int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_BINARY);
    if (fd < 0)
        System.CloseHandle(handle);
    else if (!(r->file = _fdopen(fd, "wb")))
        _close(fd);
    if (!r->file) {
        NoteError(problem, ERROR_NOT_ENOUGH_MEMORY);
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
        System.DeleteFileA(r->temp);
        InterlockedExchange(&SlotInUse[r->slot], 0);
        r->slot = -1;
    }
}
