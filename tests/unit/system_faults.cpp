// The gates put into the engine's system-call table (see system_faults.h).
#include "system_faults.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#ifndef _WIN32
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#endif

static PatchSpace Space;

// What the gates call through, and what they count; the comparison reads on
// two threads at once.
static SystemCalls Real;
static Fault Armed[MAX_FAULTS + 1];
static int Matched[MAX_FAULTS];
static int Hits;
static std::mutex Counting;

template <typename T> static int Names(T, const char*)
{
    return 0;
}

static int Names(const char* path, const char* name)
{
    const char* last = path;
    for (const char* p = path; *p; p++)
        if (*p == '/' || *p == '\\')
            last = p + 1;
    return strcmp(last, name) == 0;
}

// Counts the call and says whether it fails; a kill ends the process here.
template <typename... A> static int Strike(const char* entry, A... arguments)
{
    const Fault* hit = nullptr;
    {
        std::lock_guard<std::mutex> hold(Counting);
        for (int i = 0; Armed[i].call; i++) {
            const Fault& fault = Armed[i];
            if ((strcmp(fault.call, "*") != 0 && strcmp(fault.call, entry) != 0)
                || (fault.name && !(Names(arguments, fault.name) || ...)))
                continue;
            int n = ++Matched[i];
            int last = fault.last < 0 ? n : fault.last ? fault.last : fault.first;
            if (!hit && n >= fault.first && n <= last)
                hit = &fault, Hits++;
        }
    }
    if (hit && hit->mode == FAULT_CRASH) {
#ifdef _WIN32
        TerminateProcess(GetCurrentProcess(), CRASHED);
#endif
        _exit(CRASHED);
    }
    if (hit && hit->mode == FAULT_ACT)
        hit->action();
    if (!hit || hit->mode != FAULT_FAIL)
        return 0;
#ifdef _WIN32
    SetLastError(static_cast<DWORD>(hit->error));
#else
    errno = hit->error;
#endif
    return 1;
}

#ifdef _WIN32
// A gate of each entry's own type and calling convention: a Win32 call fails
// with the value it fails with.
#define UNPACK(...) __VA_ARGS__
#define GATE(type, entry, failure, parameters, arguments)                                                     \
    static type WINAPI Gate##entry parameters                                                                \
    {                                                                                                        \
        return Strike(#entry, UNPACK arguments) ? static_cast<type>(failure) : Real.entry arguments;            \
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
        return Strike(#entry, a...) ? static_cast<decltype(Real.entry(a...))>(-1) : Real.entry(a...);         \
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
    Hits = 0;
    Real = SystemDefaults;
    PutGates();
}

void DisarmFaults()
{
    std::lock_guard<std::mutex> hold(Counting);
    System = SystemDefaults;
}

int CallsMatched()
{
    std::lock_guard<std::mutex> hold(Counting);
    return Matched[0];
}

int FaultsHit()
{
    std::lock_guard<std::mutex> hold(Counting);
    return Hits;
}

std::string Steady(std::string text)
{
    for (const auto& [prefix, length] : {std::pair<std::string, size_t>{"morvex-", 6}, {"mvx", 4}})
        for (size_t at = text.find(prefix); at != std::string::npos; at = text.find(prefix, at + 1))
            if (text.compare(at + prefix.size(), 7, "journal") != 0)
                text.replace(at + prefix.size(), std::min(length, text.size() - at - prefix.size()), "X");
    return text;
}

std::string Line(const Problem& problem)
{
    char line[PROBLEM_TEXT_SIZE * 2];
    ProblemLine(problem, line, sizeof line);
    std::string text = line, folder = std::filesystem::current_path().string();
    size_t at = text.find(folder);
    return Steady(at == std::string::npos ? text : text.replace(at, folder.size(), "."));
}

const std::string Patch2 = std::string("GAME.EXE\0\0\0\0\0", 13) + Count(2) + Record(1, '\xaa') + Record(3, '\xbb')
                           + "hi";
const std::string Undo = std::string("GAME.EXE\0\0\0\0\0", 13) + Count(2) + Record(1, '\x11') + Record(3, '\x33')
                         + "undoes p";
const std::string Original("\x00\x11\x22\x33", 4), Patched("\x00\xaa\x22\xbb", 4);
const char Journal[] = ".game.exe.morvex-journal";

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

void FaultsTest::Reset()
{
    for (const std::string& name : Listing())
        std::filesystem::remove(name);
    WriteBytes("p", Patch2);
    WriteBytes("game.exe", Original);
    WriteBytes("u", "old");
#ifdef _WIN32
    WriteBytes("g2", Original);
#else
    ASSERT_EQ(link("game.exe", "g2"), 0);
    ASSERT_EQ(chmod("game.exe", 0640), 0);
    ASSERT_EQ(setxattr("game.exe", "user.mark", "kept", 4, 0), 0);
#endif
}

std::string FaultsTest::State()
{
    PatchContents patch;
    PatchFit fit;
    Problem problem;
    if (!CheckPatch("p", "game.exe", 0, 0, 0, &Space, &patch, &fit, &problem))
        return "refused";
    std::string undo = ReadBytes("u");
    if (fit.journal == JOURNAL_INTERRUPTED)
        return "interrupted";
    if (fit.state == FIT_NOT_APPLIED && undo == "old" && !std::filesystem::exists(Journal))
        return "original";
    if (fit.state == FIT_APPLIED && undo == Undo && !std::filesystem::exists(Journal))
        return "patched";
    return "neither";
}

void FaultsTest::ApplyAgain(const std::string& why)
{
    PatchFit fit;
    Problem problem;
    const char* undo = State() == "patched" ? nullptr : "u";
    EXPECT_EQ(ApplyPatch("p", "game.exe", nullptr, undo, 0, 0, 0, nullptr, &fit, &problem), 1) << why;
    EXPECT_EQ(ReadBytes("game.exe") + ReadBytes("g2") + ReadBytes("u"), Patched + Patched + Undo) << why;
    EXPECT_EQ(Listing(), (Messages{"g2", "game.exe", "p", "u"})) << why;
#ifndef _WIN32
    int fd = open("game.exe", O_RDONLY); // nothing of the applies holds the file's lock now
    EXPECT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0) << why;
    close(fd);
#endif
}
