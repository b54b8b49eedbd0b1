#include "platform.h"

#include <cstring>
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include "system_calls.h"
#include "win32_files.h"

int NoteSystemError(Problem* problem)
{
    return NoteError(problem, static_cast<int>(GetLastError()));
}

// The system's words for the error, without the line end and the full stop
// it ends with, so that they end a line of ours.
const char* ProblemReason(const Problem& problem, char* out, size_t size)
{
    if (!problem.error)
        return problem.reason;
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL,
                                  static_cast<DWORD>(problem.error), 0, out, static_cast<DWORD>(size), NULL);
    while (length > 0 && (out[length - 1] == '\r' || out[length - 1] == '\n' || out[length - 1] == '.'))
        length--;
    out[length] = '\0';
    return length ? out : problem.reason;
}

// Backup semantics let a folder be opened too, so that it can be told apart.
int InspectPath(const char* path, BY_HANDLE_FILE_INFORMATION* status)
{
    HANDLE handle = System.CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                NULL, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, NULL);
    int known = handle != INVALID_HANDLE_VALUE && System.GetFileInformationByHandle(handle, status);
    if (handle != INVALID_HANDLE_VALUE)
        System.CloseHandle(handle);
    return known;
}

static unsigned long long Join(DWORD high, DWORD low)
{
    return (static_cast<unsigned long long>(high) << 32) | low;
}

void HandleInfo(const BY_HANDLE_FILE_INFORMATION& status, FileInfo* info)
{
    info->regular = !(status.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    info->size = static_cast<long long>(Join(status.nFileSizeHigh, status.nFileSizeLow));
    info->volume = status.dwVolumeSerialNumber;
    info->index = Join(status.nFileIndexHigh, status.nFileIndexLow);
    info->modified = static_cast<long long>(Join(status.ftLastWriteTime.dwHighDateTime, status.ftLastWriteTime.dwLowDateTime));
    info->changed = 0;
    info->held = 0;
}

int InspectOpenFile(FILE* file, FileInfo* info)
{
    HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
    BY_HANDLE_FILE_INFORMATION status;
    if (handle == INVALID_HANDLE_VALUE || !System.GetFileInformationByHandle(handle, &status))
        return 0;
    HandleInfo(status, info);
    // Devices such as NUL or CON open like files but are not files.
    if (System.GetFileType(handle) != FILE_TYPE_DISK)
        info->regular = 0;
    return 1;
}

// A stream over an open handle to a plain file, or NULL with the reason.
static FILE* StreamOf(HANDLE handle, FileInfo* info, Problem* problem)
{
    int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_BINARY | _O_RDONLY);
    FILE* file = fd < 0 ? NULL : _fdopen(fd, "rb");
    if (!file) {
        NoteError(problem, ERROR_NOT_ENOUGH_MEMORY);
        fd < 0 ? System.CloseHandle(handle) : _close(fd);
        return NULL;
    }
    if (!(InspectOpenFile(file, info) && info->regular)) {
        NoteReason(problem, "Not a regular file");
        fclose(file);
        file = NULL;
    }
    return file;
}

FILE* OpenInputFile(const char* path, FileInfo* info, Problem* problem)
{
    HANDLE handle = System.CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (handle == INVALID_HANDLE_VALUE) {
        // A folder opens only with backup semantics; say what it is rather than "Access is denied".
        DWORD attributes = System.GetFileAttributesA(path);
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
            return NoteReason(problem, "Is a folder"), nullptr;
        return NoteSystemError(problem), nullptr;
    }
    return StreamOf(handle, info, problem);
}

// Opened for writing too, with writes not shared, the file keeps every other
// writer out; ReplaceFile still opens it, asking only to read and delete.
FILE* OpenFileToReplace(const char* path, FileInfo* info, Problem* problem)
{
    for (int wait = 0; wait < 400; wait++) {
        HANDLE handle = System.CreateFileA(path, GENERIC_READ | FILE_WRITE_DATA, FILE_SHARE_READ | FILE_SHARE_DELETE, NULL,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
        if (handle != INVALID_HANDLE_VALUE) {
            FILE* file = StreamOf(handle, info, problem);
            if (file)
                info->held = 1;
            return file;
        }
        if (GetLastError() != ERROR_SHARING_VIOLATION)
            break;
        Sleep(50);
    }
    return OpenInputFile(path, info, problem);
}

// The handler runs on a thread of its own: it waits for a commit in
// progress, so that each file is then either in place or still temporary.
// The system hands console events to the whole process, so the lock is the
// process's own, a handler slot; it is set up before main, so that every
// program may hold it, with a handler set or not.
static CRITICAL_SECTION Committing;
[[maybe_unused]] static const bool CommittingReady = (InitializeCriticalSection(&Committing), true);

static BOOL WINAPI RemoveTempsAndExit(DWORD event)
{
    EnterCriticalSection(&Committing);
    RemoveTempsInFlight();
    // The statuses a POSIX shell gives for SIGINT and SIGHUP.
    ExitProcess(event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT ? 130 : 129);
    return TRUE;
}

void RemoveTempsOnInterrupt()
{
    SetConsoleCtrlHandler(RemoveTempsAndExit, TRUE);
}

// Critical sections nest, as the commits that hold them do.
void HoldInterrupts()
{
    EnterCriticalSection(&Committing);
}

void ReleaseInterrupts()
{
    LeaveCriticalSection(&Committing);
}

long ReadAt(FILE* file, void* buffer, size_t length, long long offset)
{
    HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
    size_t total = 0;
    while (total < length) {
        long long position = offset + static_cast<long long>(total);
        OVERLAPPED at = {};
        at.Offset = static_cast<DWORD>(position);
        at.OffsetHigh = static_cast<DWORD>(position >> 32);
        DWORD got = 0;
        if (!System.ReadFile(handle, static_cast<char*>(buffer) + total, static_cast<DWORD>(length - total), &got, &at))
            return GetLastError() == ERROR_HANDLE_EOF ? static_cast<long>(total) : -1;
        if (got == 0)
            break;
        total += got;
    }
    return static_cast<long>(total);
}

void WillRead(FILE*, long long, long long) {}

// A handle of its own to the same file (ReOpenFile, from Windows Vista on),
// sharing everything, the file's own handle included.
FILE* SecondReader(FILE* file)
{
    HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
    HANDLE second = System.ReOpenFile(handle, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0);
    if (second == INVALID_HANDLE_VALUE)
        return file;
    int fd = _open_osfhandle(reinterpret_cast<intptr_t>(second), _O_BINARY | _O_RDONLY);
    FILE* stream = fd < 0 ? NULL : _fdopen(fd, "rb");
    if (stream)
        return stream;
    fd < 0 ? System.CloseHandle(second) : _close(fd);
    return file;
}

void CloseSecondReader(FILE* second, FILE* file)
{
    if (second != file)
        fclose(second);
}

int AppendFileRange(FILE* from, long long offset, long long length, FILE* to)
{
    char buffer[1 << 16];
    for (long long at = offset; at < offset + length;) {
        long long left = offset + length - at;
        size_t piece = left < static_cast<long long>(sizeof buffer) ? static_cast<size_t>(left) : sizeof buffer;
        long got = ReadAt(from, buffer, piece, at);
        if (got != static_cast<long>(piece))
            return got < 0 ? 0 : -1;
        if (fwrite(buffer, 1, piece, to) != piece)
            return 0;
        at += static_cast<long long>(piece);
    }
    return 1;
}
