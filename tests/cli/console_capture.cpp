// Runs a command on a console of its own, on code page 437 and 300 columns
// wide, and prints on its own standard output, as UTF-8, what the command left
// on that console: each line ended by '|', then the exit status.
// Usage: console_capture PROGRAM ARGUMENTS...
#include <windows.h>

#include <string>

int main()
{
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    // The command is this program's command line after its own name.
    const wchar_t* command = GetCommandLineW();
    for (bool quoted = false; *command && (quoted || *command != L' '); command++)
        quoted ^= *command == L'"';
    std::wstring line = command + wcsspn(command, L" ");
    SECURITY_ATTRIBUTES inherited = {sizeof inherited, NULL, TRUE};
    FreeConsole();
    HANDLE console = AllocConsole() ? CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                  &inherited, OPEN_EXISTING, 0, NULL)
                                    : INVALID_HANDLE_VALUE;
    SetConsoleOutputCP(437);
    SetConsoleScreenBufferSize(console, {300, 100});
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = console;
    PROCESS_INFORMATION process;
    DWORD status = 255;
    if (console == INVALID_HANDLE_VALUE
        || !CreateProcessW(NULL, &line[0], NULL, NULL, TRUE, 0, NULL, NULL, &startup, &process))
        return 2;
    WaitForSingleObject(process.hProcess, 60000);
    GetExitCodeProcess(process.hProcess, &status);
    CONSOLE_SCREEN_BUFFER_INFO screen;
    GetConsoleScreenBufferInfo(console, &screen);
    std::string shown;
    for (SHORT row = 0; row < screen.dwCursorPosition.Y; row++) {
        wchar_t cells[300];
        DWORD read = 0;
        ReadConsoleOutputCharacterW(console, cells, 300, {0, row}, &read);
        while (read > 0 && cells[read - 1] == L' ')
            read--;
        char bytes[1024];
        int length = WideCharToMultiByte(CP_UTF8, 0, cells, read, bytes, sizeof bytes, NULL, NULL);
        shown += std::string(bytes, length) + "|";
    }
    shown += std::to_string(status);
    DWORD written;
    WriteFile(out, shown.data(), shown.size(), &written, NULL);
    return 0;
}
