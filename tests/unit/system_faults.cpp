// The gates put into the engine's system-call table (see system_faults.h).
#include "system_faults.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <mutex>
#ifndef _WIN32
#include <unistd.h>
#endif

// What the gates call through, and what they count; the comparison reads on
// two threads at once.
static SystemCalls Real;
static Fault Armed[MAX_FAULTS + 1];
static int Matched[MAX_FAULTS];
static int Hits;
enum { KINDS = 64 };
static const char* KindName[KINDS];
static int KindCalls[KINDS];
static std::mutex Counting;

enum { PROCEED, FAIL_IT, CRASH_AFTER_IT };

using Paths = std::array<const char*, 8>;

template <typename T> static const char* PathOf(T)
{
    return nullptr;
}

static const char* PathOf(const char* path)
{
    return path;
}

template <typename... A> static Paths PathsOf(A... arguments)
{
    Paths paths = {PathOf(arguments)...};
    return paths;
}

static int Names(const Paths& paths, const char* name)
{
    for (const char* path : paths) {
        if (!path)
            continue;
        const char* last = path;
        for (const char* p = path; *p; p++)
            if (*p == '/' || *p == '\\')
                last = p + 1;
        if (strcmp(last, name) == 0)
            return 1;
    }
    return 0;
}

[[noreturn]] static void Crash()
{
#ifdef _WIN32
    TerminateProcess(GetCurrentProcess(), CRASHED);
#endif
    _exit(CRASHED);
}

static void CountCall(const char* entry)
{
    int kind = 0;
    while (kind < KINDS && KindName[kind] && strcmp(KindName[kind], entry) != 0)
        kind++;
    if (kind == KINDS)
        return;
    KindName[kind] = entry;
    KindCalls[kind]++;
}

// Counts the call and decides what becomes of it.
static int Strike(const char* entry, const Paths& paths)
{
    const Fault* hit = nullptr;
    {
        std::lock_guard<std::mutex> hold(Counting);
        CountCall(entry);
        for (int i = 0; Armed[i].call; i++) {
            const Fault& fault = Armed[i];
            if ((strcmp(fault.call, "*") != 0 && strcmp(fault.call, entry) != 0)
                || (fault.name && !Names(paths, fault.name)))
                continue;
            int n = ++Matched[i];
            int last = fault.last < 0 ? n : fault.last ? fault.last : fault.first;
            if (!hit && n >= fault.first && n <= last)
                hit = &fault, Hits++;
        }
    }
    if (!hit)
        return PROCEED;
    switch (hit->mode) {
    case FAULT_FAIL:
#ifdef _WIN32
        SetLastError(static_cast<DWORD>(hit->error));
#else
        errno = hit->error;
#endif
        return FAIL_IT;
    case FAULT_ACT:
        hit->action();
        return PROCEED;
    case FAULT_CRASH:
        Crash();
    case FAULT_CRASH_AFTER:
        break;
    }
    return CRASH_AFTER_IT;
}

template <typename R, typename Call> static R Pass(const char* entry, const Paths& paths, R failure, Call call)
{
    int how = Strike(entry, paths);
    if (how == FAIL_IT)
        return failure;
    R result = call();
    if (how == CRASH_AFTER_IT)
        Crash();
    return result;
}

#ifdef _WIN32
// A gate of each entry's own type and calling convention: a Win32 call fails
// with the value it fails with.
#define GATE(type, entry, failure, parameters, arguments)                                                     \
    static type WINAPI Gate##entry parameters                                                                \
    {                                                                                                        \
        return Pass(#entry, PathsOf arguments, static_cast<type>(failure), [&] { return Real.entry arguments; }); \
    }
GATE(HANDLE, CreateFileA, INVALID_HANDLE_VALUE, (LPCSTR a, DWORD b, DWORD c, LPSECURITY_ATTRIBUTES d, DWORD e, DWORD f, HANDLE g), (a, b, c, d, e, f, g))
GATE(BOOL, CloseHandle, FALSE, (HANDLE a), (a))
GATE(BOOL, ReadFile, FALSE, (HANDLE a, LPVOID b, DWORD c, LPDWORD d, LPOVERLAPPED e), (a, b, c, d, e))
GATE(BOOL, WriteFile, FALSE, (HANDLE a, LPCVOID b, DWORD c, LPDWORD d, LPOVERLAPPED e), (a, b, c, d, e))
GATE(BOOL, FlushFileBuffers, FALSE, (HANDLE a), (a))
GATE(BOOL, GetFileInformationByHandle, FALSE, (HANDLE a, LPBY_HANDLE_FILE_INFORMATION b), (a, b))
GATE(DWORD, GetFileType, FILE_TYPE_UNKNOWN, (HANDLE a), (a))
GATE(DWORD, GetFileAttributesA, INVALID_FILE_ATTRIBUTES, (LPCSTR a), (a))
GATE(BOOL, SetFileAttributesA, FALSE, (LPCSTR a, DWORD b), (a, b))
GATE(DWORD, GetFullPathNameA, 0, (LPCSTR a, DWORD b, LPSTR c, LPSTR* d), (a, b, c, d))
GATE(BOOL, MoveFileExA, FALSE, (LPCSTR a, LPCSTR b, DWORD c), (a, b, c))
GATE(BOOL, ReplaceFileA, FALSE, (LPCSTR a, LPCSTR b, LPCSTR c, DWORD d, LPVOID e, LPVOID f), (a, b, c, d, e, f))
GATE(BOOL, DeleteFileA, FALSE, (LPCSTR a), (a))
GATE(DWORD, GetFinalPathNameByHandleA, 0, (HANDLE a, LPSTR b, DWORD c, DWORD d), (a, b, c, d))
GATE(HANDLE, ReOpenFile, INVALID_HANDLE_VALUE, (HANDLE a, DWORD b, DWORD c, DWORD d), (a, b, c, d))

static void PutGates()
{
    System = {GateCreateFileA, GateCloseHandle, GateReadFile, GateWriteFile, GateFlushFileBuffers,
              GateGetFileInformationByHandle, GateGetFileType, GateGetFileAttributesA, GateSetFileAttributesA,
              GateGetFullPathNameA, GateMoveFileExA, GateReplaceFileA, GateDeleteFileA,
              GateGetFinalPathNameByHandleA, GateReOpenFile};
}
#else
// Each gate has the entry's own type: a POSIX call fails with -1.
#define GATE(entry)                                                                                          \
    System.entry = [](auto... a) {                                                                           \
        return Pass(#entry, PathsOf(a...), static_cast<decltype(Real.entry(a...))>(-1),                     \
                    [&] { return Real.entry(a...); });                                                       \
    }

static void PutGates()
{
    GATE(open), GATE(openat), GATE(close), GATE(pread), GATE(pwrite), GATE(write), GATE(lseek);
    GATE(ftruncate), GATE(fsync), GATE(fdatasync), GATE(fstat), GATE(stat), GATE(fstatat), GATE(readlinkat);
    GATE(fcntl), GATE(flock), GATE(linkat), GATE(renameat), GATE(renameat2), GATE(unlinkat), GATE(fchmod);
    GATE(fchown), GATE(flistxattr), GATE(fgetxattr), GATE(fsetxattr), GATE(copy_file_range);
    GATE(sync_file_range), GATE(posix_fadvise);
}
#endif

void ArmFaults(const Fault* faults)
{
    std::lock_guard<std::mutex> hold(Counting);
    for (Fault& fault : Armed)
        fault = Fault();
    for (int i = 0; faults && i < MAX_FAULTS && faults[i].call; i++)
        Armed[i] = faults[i];
    memset(Matched, 0, sizeof Matched);
    memset(KindCalls, 0, sizeof KindCalls);
    Hits = 0;
    Real = SystemDefaults;
    PutGates();
}

void DisarmFaults()
{
    std::lock_guard<std::mutex> hold(Counting);
    System = SystemDefaults;
    for (Fault& fault : Armed)
        fault = Fault();
}

int CallsMade(const char* call)
{
    std::lock_guard<std::mutex> hold(Counting);
    int total = 0;
    for (int kind = 0; kind < KINDS && KindName[kind]; kind++)
        if (strcmp(call, "*") == 0 || strcmp(call, KindName[kind]) == 0)
            total += KindCalls[kind];
    return total;
}

int FaultsHit()
{
    std::lock_guard<std::mutex> hold(Counting);
    return Hits;
}

const std::string Patch2 = std::string("GAME.EXE\0\0\0\0\0", 13) + Count(2) + Record(1, '\xaa') + Record(3, '\xbb')
                           + "hi";
const std::string Original("\x00\x11\x22\x33", 4), Patched("\x00\xaa\x22\xbb", 4);

void FaultsTest::SetUp()
{
    TempFolderTest::SetUp();
    before = std::filesystem::current_path();
    std::filesystem::current_path(folder);
}

void FaultsTest::TearDown()
{
    DisarmFaults();
    std::filesystem::current_path(before);
    TempFolderTest::TearDown();
}
