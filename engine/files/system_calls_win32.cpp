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
        return SetLastError(ERROR_CALL_NOT_IMPLEMENTED), 0;
    return call(handle, path, size, flags);
}

static HANDLE WINAPI ReOpen(HANDLE handle, DWORD access, DWORD sharing, DWORD flags)
{
    typedef HANDLE(WINAPI * Function)(HANDLE, DWORD, DWORD, DWORD);
    Function call = reinterpret_cast<Function>(reinterpret_cast<void*>(Lookup("ReOpenFile")));
    if (!call)
        return SetLastError(ERROR_CALL_NOT_IMPLEMENTED), INVALID_HANDLE_VALUE;
    return call(handle, access, sharing, flags);
}

const SystemCalls SystemDefaults = {
    CreateFileA,       CloseHandle,      ReadFile,         WriteFile,        FlushFileBuffers,
    GetFileInformationByHandle,          GetFileType,      GetFileAttributesA, SetFileAttributesA,
    GetFullPathNameA,  MoveFileExA,      ReplaceFileA,     DeleteFileA,
    FinalPathName,     ReOpen,
};

SystemCalls System = SystemDefaults;
