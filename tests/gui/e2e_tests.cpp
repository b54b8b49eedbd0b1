// The real programs under Wine. morvex-apply.exe: started with a patch and a
// file on its command line (quoted paths with a space), Apply pressed, the
// message read, the patched file and the undo patch checked byte for byte.
// morvex.exe: started, Alt+X through its accelerators, Yes, exit status 0.
// Usage: morvex_e2e_tests MORVEX_APPLY_EXE MORVEX_EXE

#include "gui_checks.h"

#include <filesystem>

enum { IDC_APPLY_APPLY = 1107, MESSAGE_TEXT = 0xFFFF };

static PROCESS_INFORMATION Process;

// Waits for the program's window titled `title` that `owner` owns (a message
// box) or, without an owner, its main window.
static HWND WaitFor(const char* title, HWND owner = NULL)
{
    for (int i = 0; i < 200; i++, Sleep(50))
        for (HWND window = GetWindow(GetDesktopWindow(), GW_CHILD); window; window = GetWindow(window, GW_HWNDNEXT)) {
            DWORD process = 0;
            GetWindowThreadProcessId(window, &process);
            if (process == Process.dwProcessId && IsWindowVisible(window) && GetWindow(window, GW_OWNER) == owner
                && Text(window) == title)
                return window;
        }
    Expect("none", title, "the window that opens");
    return NULL;
}

// Starts `exe` with `arguments` and waits for its main window.
static HWND Start(const char* exe, const std::string& arguments, const char* title)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    std::string command = "\"" + std::string(exe) + "\" " + arguments;
    CreateProcessA(NULL, &command[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup, &Process);
    return WaitFor(title);
}

// The text of the message box that `owner` opens, answered with `button`.
static std::string Answer(HWND owner, const char* title, int button)
{
    HWND box = owner ? WaitFor(title, owner) : NULL;
    std::string text = box ? Text(GetDlgItem(box, MESSAGE_TEXT)) : "(no box)";
    PostMessageA(box, WM_COMMAND, button, 0);
    return text;
}

// The program's exit status once it has ended.
static std::string Ended()
{
    DWORD status = 0;
    bool ended = WaitForSingleObject(Process.hProcess, 5000) == WAIT_OBJECT_0 && GetExitCodeProcess(Process.hProcess, &status);
    TerminateProcess(Process.hProcess, 1);
    return ended ? std::to_string(status) : "still running";
}

int main(int, char** argv)
{
    std::string folder = (std::filesystem::temp_directory_path() / ("morvex apply " + std::to_string(GetCurrentProcessId()))).string() + "\\";
    std::filesystem::create_directories(folder);
    const std::string head("LONGFI~1.EXE\0\x02\x00", 15), bytes("\x00\x11\x22\x33", 4);
    std::ofstream(folder + "fix.ov", std::ios::binary) << head + std::string("\x01\0\0\0\x01\xAA\x03\0\0\0\x01\xBB", 12);
    // Both names give the target name: only the command line tells which.
    std::ofstream(folder + "longfile one.exe", std::ios::binary) << bytes;
    std::ofstream(folder + "longfile two.exe", std::ios::binary) << bytes;
    HWND dialog = Start(argv[1], "\"" + folder + "fix.ov\" \"" + folder + "longfile two.exe\"", "Morvex Apply");
    PostMessageA(GetDlgItem(dialog, IDC_APPLY_APPLY), BM_CLICK, 0, 0);
    std::string said = Answer(dialog, "Morvex Apply", IDOK);
    Sleep(300);
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    Expect(said + " | " + Ended(), "Patch applied to longfile two.exe.\r\nUndo patch: fix-undo.ov | 0", "Apply, then Close");
    Expect(ReadFile(folder + "longfile two.exe") + ReadFile(folder + "fix-undo.ov"),
           std::string("\x00\xAA\x22\xBB", 4) + head + std::string("\x01\0\0\0\x01\x11\x03\0\0\0\x01\x33", 12) + "undoes fix.ov",
           "the patched file and its undo patch");

    dialog = Start(argv[2], "", "Morvex");
    SetForegroundWindow(dialog);
    Sleep(200);
    for (int i = 0; i < 4; i++) // Alt down, X down, X up, Alt up
        keybd_event(i == 0 || i == 3 ? VK_MENU : 'X', 0, i >= 2 ? KEYEVENTF_KEYUP : 0, 0);
    said = Answer(dialog, "Morvex", IDYES);
    Expect(said + " | " + Ended(), "Do you really want to quit? | 0", "Alt+X, then Yes");
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    printf("%d failed\n", Failed);
    return Failed ? 1 : 0;
}
