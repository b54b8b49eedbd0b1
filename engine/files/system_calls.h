#ifndef MORVEX_SYSTEM_CALLS_H
#define MORVEX_SYSTEM_CALLS_H

// Every call the platform files make of the file system goes through `System`, one
// entry per call, which holds the system's own functions (system_calls_posix.cpp,
// system_calls_win32.cpp) until a test puts its own in their place to fail,
// count or stop a call of a kind. Each entry has the name and the arguments
// of the call it stands for; a variadic call takes its optional argument always.

#ifdef _WIN32
#include <windows.h>

struct SystemCalls {
    HANDLE(WINAPI* CreateFileA)(LPCSTR path, DWORD access, DWORD sharing, LPSECURITY_ATTRIBUTES security,
                                DWORD disposition, DWORD flags, HANDLE pattern);
    BOOL(WINAPI* CloseHandle)(HANDLE handle);
    BOOL(WINAPI* ReadFile)(HANDLE handle, LPVOID buffer, DWORD length, LPDWORD got, LPOVERLAPPED at);
    BOOL(WINAPI* WriteFile)(HANDLE handle, LPCVOID buffer, DWORD length, LPDWORD put, LPOVERLAPPED at);
    BOOL(WINAPI* FlushFileBuffers)(HANDLE handle);
    BOOL(WINAPI* GetFileInformationByHandle)(HANDLE handle, LPBY_HANDLE_FILE_INFORMATION status);
    DWORD(WINAPI* GetFileType)(HANDLE handle);
    DWORD(WINAPI* GetFileAttributesA)(LPCSTR path);
    BOOL(WINAPI* SetFileAttributesA)(LPCSTR path, DWORD attributes);
    DWORD(WINAPI* GetFullPathNameA)(LPCSTR path, DWORD size, LPSTR full, LPSTR* last);
    BOOL(WINAPI* MoveFileExA)(LPCSTR from, LPCSTR to, DWORD flags);
    BOOL(WINAPI* ReplaceFileA)(LPCSTR replaced, LPCSTR replacement, LPCSTR backup, DWORD flags, LPVOID, LPVOID);
    BOOL(WINAPI* DeleteFileA)(LPCSTR path);
    // From Windows Vista on: where the system has none, these fail with
    // ERROR_CALL_NOT_IMPLEMENTED (GetFinalPathNameByHandleA returning 0,
    // ReOpenFile INVALID_HANDLE_VALUE).
    DWORD(WINAPI* GetFinalPathNameByHandleA)(HANDLE handle, LPSTR path, DWORD size, DWORD flags);
    HANDLE(WINAPI* ReOpenFile)(HANDLE handle, DWORD access, DWORD sharing, DWORD flags);
};

#else
#include <sys/stat.h>
#include <sys/types.h>

struct SystemCalls {
    int (*open)(const char* path, int flags, mode_t mode);
    int (*openat)(int folder, const char* path, int flags, mode_t mode);
    int (*close)(int fd);
    ssize_t (*pread)(int fd, void* buffer, size_t length, off_t at);
    ssize_t (*pwrite)(int fd, const void* buffer, size_t length, off_t at);
    ssize_t (*write)(int fd, const void* buffer, size_t length);
    off_t (*lseek)(int fd, off_t at, int whence);
    int (*ftruncate)(int fd, off_t length);
    int (*fsync)(int fd);
    int (*fdatasync)(int fd);
    int (*fstat)(int fd, struct stat* status);
    int (*stat)(const char* path, struct stat* status);
    int (*fstatat)(int folder, const char* path, struct stat* status, int flags);
    ssize_t (*readlinkat)(int folder, const char* path, char* link, size_t size);
    int (*fcntl)(int fd, int command, int argument);
    int (*flock)(int fd, int operation);
    int (*linkat)(int fromFolder, const char* from, int toFolder, const char* to, int flags);
    int (*renameat)(int fromFolder, const char* from, int toFolder, const char* to);
    int (*renameat2)(int fromFolder, const char* from, int toFolder, const char* to, unsigned flags);
    int (*unlinkat)(int folder, const char* path, int flags);
    int (*fchmod)(int fd, mode_t mode);
    int (*fchown)(int fd, uid_t owner, gid_t group);
    ssize_t (*flistxattr)(int fd, char* names, size_t size);
    ssize_t (*fgetxattr)(int fd, const char* name, void* value, size_t size);
    int (*fsetxattr)(int fd, const char* name, const void* value, size_t size, int flags);
    ssize_t (*copy_file_range)(int from, off_t* fromAt, int to, off_t* toAt, size_t length, unsigned flags);
    int (*sync_file_range)(int fd, off_t at, off_t length, unsigned flags);
    int (*posix_fadvise)(int fd, off_t at, off_t length, int advice); // returns the error, not -1
};
#endif

extern SystemCalls System;

// The system's own functions, for putting `System` back.
extern const SystemCalls SystemDefaults;

#endif
