// The real programs under Wine. morvex-apply.exe: started with a patch and a
// file on its command line (quoted paths with a space), Apply pressed, the
// message read, the patched file and the undo patch checked byte for byte.
// morvex.exe: started, Alt+X through its accelerators, Yes, exit status 0.
// Usage: morvex_e2e_tests MORVEX_APPLY_EXE MORVEX_EXE (Unix paths are taken as drive Z:)

#include "gui_checks.h"

#include <algorithm>
#include <filesystem>

enum { IDC_APPLY_APPLY = 1107, MESSAGE_TEXT = 0xFFFF };

static DWORD ProcessId;

static void Check(bool ok, const std::string& what)
{
    Expect(ok ? "" : "FAIL", "", what);
}

// Waits for the program's window titled `title` that `owner` owns (a message
// box) or, without an owner, its main window.
static HWND WaitFor(const char* title, HWND owner = NULL)
{
    for (int i = 0; i < 200; i++, Sleep(50))
        for (HWND window = NULL; (window = FindWindowExA(NULL, window, NULL, title));) {
            DWORD process = 0;
            GetWindowThreadProcessId(window, &process);
            if (process == ProcessId && IsWindowVisible(window) && GetWindow(window, GW_OWNER) == owner)
                return window;
        }
    Check(false, std::string("a window titled ") + title + " opens");
    return NULL;
}

static std::string WindowsPath(const char* path)
{
    std::string exe = std::string(path[0] == '/' ? "Z:" : "") + path;
    std::replace(exe.begin(), exe.end(), '/', '\\');
    return exe;
}

static PROCESS_INFORMATION Start(std::string command)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    Check(CreateProcessA(NULL, &command[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process), "start " + command);
    ProcessId = process.dwProcessId;
    return process;
}

// Alt+X asks whether to quit; Yes ends the program with status 0.
static void QuitMorvex(const std::string& exe)
{
    PROCESS_INFORMATION process = Start("\"" + exe + "\"");
    if (HWND dialog = WaitFor("Morvex")) {
        SetForegroundWindow(dialog);
        Sleep(200);
        for (int i = 0; i < 4; i++) // Alt down, X down, X up, Alt up
            keybd_event(i == 0 || i == 3 ? VK_MENU : 'X', 0, i >= 2 ? KEYEVENTF_KEYUP : 0, 0);
        if (HWND box = WaitFor("Morvex", dialog)) {
            Expect(Text(GetDlgItem(box, MESSAGE_TEXT)), "Do you really want to quit?", "Alt+X");
            PostMessageA(box, WM_COMMAND, IDYES, 0);
        }
    }
    DWORD status = 1;
    Check(WaitForSingleObject(process.hProcess, 5000) == WAIT_OBJECT_0 && GetExitCodeProcess(process.hProcess, &status)
              && status == 0, "Yes ends morvex.exe with status 0");
    TerminateProcess(process.hProcess, 1);
}

int main(int argc, char** argv)
{
    if (argc != 3) {
        fputs("usage: morvex_e2e_tests MORVEX_APPLY_EXE MORVEX_EXE\n", stderr);
        return 2;
    }
    std::string exe = WindowsPath(argv[1]);
    std::string folder = (std::filesystem::temp_directory_path() / ("morvex apply " + std::to_string(GetCurrentProcessId()))).string() + "\\";
    std::filesystem::create_directories(folder);
    const std::string head("LONGFI~1.EXE\0\x02\x00", 15);
    std::ofstream(folder + "fix.ov", std::ios::binary) << head + std::string("\x01\0\0\0\x01\xAA\x03\0\0\0\x01\xBB", 12);
    // Both names give the target name: only the command line tells which.
    std::ofstream(folder + "longfile one.exe", std::ios::binary) << std::string("\x00\x11\x22\x33", 4);
    std::ofstream(folder + "longfile two.exe", std::ios::binary) << std::string("\x00\x11\x22\x33", 4);

    PROCESS_INFORMATION process = Start("\"" + exe + "\" \"" + folder + "fix.ov\" \"" + folder + "longfile two.exe\"");
    if (HWND dialog = WaitFor("Morvex Apply")) {
        PostMessageA(GetDlgItem(dialog, IDC_APPLY_APPLY), BM_CLICK, 0, 0);
        if (HWND box = WaitFor("Morvex Apply", dialog)) {
            Expect(Text(GetDlgItem(box, MESSAGE_TEXT)), "Patch applied to longfile two.exe.\r\nUndo patch: fix-undo.ov", "Apply");
            PostMessageA(box, WM_COMMAND, IDOK, 0);
        }
        Sleep(300);
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    }
    Check(WaitForSingleObject(process.hProcess, 5000) == WAIT_OBJECT_0, "Close ends the program");
    TerminateProcess(process.hProcess, 1);
    Expect(ReadFile(folder + "longfile two.exe") + ReadFile(folder + "fix-undo.ov"),
           std::string("\x00\xAA\x22\xBB", 4) + head + std::string("\x01\0\0\0\x01\x11\x03\0\0\0\x01\x33", 12) + "undoes fix.ov",
           "the patched file and its undo patch");
    QuitMorvex(WindowsPath(argv[2]));
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    printf("%d failed\n", Failed);
    return Failed ? 1 : 0;
}
