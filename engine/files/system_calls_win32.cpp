// The system's own functions behind `System` (system_calls.h).
#include "system_calls.h"

// Calls kernel32 has from Windows Vista on, looked up at their first use.
static FARPROC Lookup(const char* name)
{
    return GetProcAddress(GetModuleHandleA("kernel32.dll"), name);
}

static DWORD WINAPI FinalPathName(HANDLE handle, LPSTR path, DWORD size, DWORD flags)
{
    typedef DWORD(WINAPI * Function)(HANDLE, LPSTR, DWORD, DWORD);
    Function call = reinterpret_cast<Function>(reinterpret_cast<void*>(Lookup("GetFinalPathNameByHandleA")));
    if (!call)
        SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return call ? call(handle, path, size, flags) : 0;
}

static HANDLE WINAPI ReOpen(HANDLE handle, DWORD access, DWORD sharing, DWORD flags)
{
    typedef HANDLE(WINAPI * Function)(HANDLE, DWORD, DWORD, DWORD);
    Function call = reinterpret_cast<Function>(reinterpret_cast<void*>(Lookup("ReOpenFile")));
    if (!call)
        SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return call ? call(handle, access, sharing, flags) : INVALID_HANDLE_VALUE;
}

const SystemCalls SystemDefaults = {
    CreateFileA,       CloseHandle,      ReadFile,         WriteFile,        FlushFileBuffers,
    GetFileInformationByHandle,          GetFileType,      GetFileAttributesA, SetFileAttributesA,
    GetFullPathNameA,  MoveFileExA,      ReplaceFileA,     DeleteFileA,
    FinalPathName,     ReOpen,
};

SystemCalls System = SystemDefaults;
