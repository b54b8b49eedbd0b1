#include "platform.h"

#include <cstring>
#include <io.h>
#include <windows.h>

#include "win32_files.h"

static const char* Reason;

// Keeps the system's words for the thread's last error, or `text` when the
// failure is ours.
static void NoteFailure(const char* text = NULL)
{
    static char words[256];
    Reason = text;
    if (text)
        return;
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL, GetLastError(),
                                  0, words, sizeof words, NULL);
    while (length > 0 && (words[length - 1] == '\r' || words[length - 1] == '\n' || words[length - 1] == '.'))
        length--;
    words[length] = '\0';
    Reason = length ? words : NULL;
}

const char* SystemReason()
{
    return Reason;
}

// Backup semantics let a folder be opened too, so that it can be told apart.
int InspectPath(const char* path, BY_HANDLE_FILE_INFORMATION* status)
{
    HANDLE handle = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                NULL, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, NULL);
    int known = handle != INVALID_HANDLE_VALUE && GetFileInformationByHandle(handle, status);
    if (handle != INVALID_HANDLE_VALUE)
        CloseHandle(handle);
    return known;
}

static void FillInfo(const BY_HANDLE_FILE_INFORMATION& status, FileInfo* info)
{
    info->regular = !(status.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    info->size = static_cast<long long>((static_cast<unsigned long long>(status.nFileSizeHigh) << 32)
                                        | status.nFileSizeLow);
    info->volume = status.dwVolumeSerialNumber;
    info->index = (static_cast<unsigned long long>(status.nFileIndexHigh) << 32) | status.nFileIndexLow;
}

int InspectOpenFile(FILE* file, FileInfo* info)
{
    HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
    BY_HANDLE_FILE_INFORMATION status;
    if (handle == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(handle, &status))
        return 0;
    FillInfo(status, info);
    // Devices such as NUL or CON open like files but are not files.
    if (GetFileType(handle) != FILE_TYPE_DISK)
        info->regular = 0;
    return 1;
}

FILE* OpenInputFile(const char* path, FileInfo* info)
{
    FILE* file = fopen(path, "rb");
    if (!file) {
        NoteFailure();
        return NULL;
    }
    if (!(InspectOpenFile(file, info) && info->regular)) {
        NoteFailure("Not a regular file");
        fclose(file);
        file = NULL;
    }
    return file;
}

int ProbeWritablePath(const char* path, FileInfo* info, int* exists)
{
    DWORD attributes = GetFileAttributesA(path);
    *exists = attributes != INVALID_FILE_ATTRIBUTES;
    // Only "nothing there" lets the checks pass; a failure to look is refused.
    if (!*exists) {
        DWORD error = GetLastError();
        NoteFailure();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
    }
    BY_HANDLE_FILE_INFORMATION status;
    if (!InspectPath(path, &status))
        return 0;
    FillInfo(status, info);
    if (!info->regular || (attributes & FILE_ATTRIBUTE_READONLY))
        return 0;
    HANDLE handle = CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         NULL, OPEN_EXISTING, 0, NULL);
    if (handle == INVALID_HANDLE_VALUE)
        return 0;
    CloseHandle(handle);
    return 1;
}

// Temporary files not yet moved into place, removed by the console's
// control handler, which runs on a thread of its own.
enum { PENDING_SLOTS = 2 };
static char PendingNames[PENDING_SLOTS][TEMP_PATH_SIZE];
static volatile LONG PendingInUse[PENDING_SLOTS];

static void ForgetPending(const char* tempPath)
{
    for (int slot = 0; slot < PENDING_SLOTS; slot++)
        if (PendingInUse[slot] && strcmp(PendingNames[slot], tempPath) == 0)
            InterlockedExchange(&PendingInUse[slot], 0);
}

static BOOL WINAPI RemovePendingAndExit(DWORD event)
{
    for (int slot = 0; slot < PENDING_SLOTS; slot++)
        if (PendingInUse[slot])
            DeleteFileA(PendingNames[slot]);
    // The statuses a POSIX shell gives for SIGINT and SIGHUP.
    ExitProcess(event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT ? 130 : 129);
    return TRUE;
}

void RemoveTempsOnInterrupt()
{
    SetConsoleCtrlHandler(RemovePendingAndExit, TRUE);
}

FILE* CreateTempBeside(const char* path, char* tempPath)
{
    int slot = 0;
    while (slot < PENDING_SLOTS && PendingInUse[slot])
        slot++;
    if (slot == PENDING_SLOTS)
        return NULL;

    char folder[TEMP_PATH_SIZE];
    const char* end = path;
    for (const char* p = path; *p; p++)
        if (*p == '\\' || *p == '/' || *p == ':')
            end = p + 1;
    size_t folderLength = static_cast<size_t>(end - path);
    if (folderLength >= sizeof folder)
        return NULL;
    memcpy(folder, path, folderLength);
    folder[folderLength] = '\0';
    if (folderLength == 0)
        strcpy(folder, ".");

    // GetTempFileNameA creates the file, so the name cannot be taken twice.
    if (GetTempFileNameA(folder, "mvx", 0, tempPath) == 0)
        return NULL;
    strcpy(PendingNames[slot], tempPath);
    InterlockedExchange(&PendingInUse[slot], 1);
    FILE* file = fopen(tempPath, "wb");
    if (!file)
        RemoveTemp(tempPath);
    return file;
}

void RemoveTemp(const char* tempPath)
{
    DeleteFileA(tempPath);
    ForgetPending(tempPath);
}

int CommitFile(FILE* file)
{
    int ok = fflush(file) == 0
             && FlushFileBuffers(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file))));
    return fclose(file) == 0 && ok;
}

int MoveTempOver(const char* tempPath, const char* path)
{
    if (!MoveFileExA(tempPath, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return 0;
    ForgetPending(tempPath);
    return 1;
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
        if (!ReadFile(handle, static_cast<char*>(buffer) + total, static_cast<DWORD>(length - total), &got, &at))
            return GetLastError() == ERROR_HANDLE_EOF ? static_cast<long>(total) : -1;
        if (got == 0)
            break;
        total += got;
    }
    return static_cast<long>(total);
}

int AppendFileRange(FILE* from, long long offset, long long length, FILE* to)
{
    static char buffer[1 << 16];
    for (long long at = offset; at < offset + length;) {
        long long left = offset + length - at;
        size_t piece = left < static_cast<long long>(sizeof buffer) ? static_cast<size_t>(left) : sizeof buffer;
        if (ReadAt(from, buffer, piece, at) != static_cast<long>(piece) || fwrite(buffer, 1, piece, to) != piece)
            return 0;
        at += static_cast<long long>(piece);
    }
    return 1;
}

struct ThreadStart {
    void (*work)(void*);
    void* argument;
};

static DWORD WINAPI RunThread(void* start)
{
    ThreadStart* thread = static_cast<ThreadStart*>(start);
    thread->work(thread->argument);
    return 0;
}

void RunInParallel(void (*work)(void*), void* first, void* second)
{
    ThreadStart start = {work, first};
    HANDLE thread = CreateThread(NULL, 0, RunThread, &start, 0, NULL);
    if (!thread)
        work(first);
    work(second);
    if (thread) {
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
    }
}
