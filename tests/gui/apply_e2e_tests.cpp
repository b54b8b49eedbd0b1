// The real morvex-apply.exe under Wine: started with a patch and a file on its
// command line (quoted paths with a space), Apply pressed, the message read,
// the patched file and the undo patch checked byte for byte.
// Usage: morvex_apply_e2e_tests MORVEX_APPLY_EXE (a Unix path is taken as drive Z:)

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

enum { IDC_APPLY_APPLY = 1107, MESSAGE_TEXT = 0xFFFF };

static DWORD ProcessId;
static int Failed;

static void Check(bool ok, const std::string& what)
{
    if (!ok) {
        Failed++;
        printf("FAIL %s\n", what.c_str());
    }
}

static std::string Text(HWND window)
{
    char text[1024] = "";
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, LPARAM(text), SMTO_ABORTIFHUNG, 5000, NULL);
    return text;
}

struct Search {
    const char* title;
    HWND found;
};

static BOOL CALLBACK Visit(HWND window, LPARAM argument)
{
    Search& search = *reinterpret_cast<Search*>(argument);
    DWORD owner;
    GetWindowThreadProcessId(window, &owner);
    if (owner == ProcessId && IsWindowVisible(window) && Text(window) == search.title)
        search.found = window;
    return TRUE;
}

// Waits for the program's window titled `title`.
static HWND WaitFor(const char* title)
{
    Search search = {title, NULL};
    for (int i = 0; i < 200 && !search.found; i++, Sleep(50))
        EnumWindows(Visit, LPARAM(&search));
    Check(search.found != NULL, std::string("a window titled ") + title + " opens");
    return search.found;
}

static std::string Read(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

int main(int argc, char** argv)
{
    if (argc != 2) {
        fputs("usage: morvex_apply_e2e_tests MORVEX_APPLY_EXE\n", stderr);
        return 2;
    }
    std::string exe = std::string(argv[1][0] == '/' ? "Z:" : "") + argv[1];
    std::replace(exe.begin(), exe.end(), '/', '\\');
    std::string folder = (std::filesystem::temp_directory_path() / ("morvex apply " + std::to_string(GetCurrentProcessId()))).string() + "\\";
    std::filesystem::create_directories(folder);
    const std::string head("LONGFI~1.EXE\0\x02\x00", 15);
    std::ofstream(folder + "fix.ov", std::ios::binary) << head + std::string("\x01\0\0\0\x01\xAA\x03\0\0\0\x01\xBB", 12);
    // Both names give the target name: only the command line tells which.
    std::ofstream(folder + "longfile one.exe", std::ios::binary) << std::string("\x00\x11\x22\x33", 4);
    std::ofstream(folder + "longfile two.exe", std::ios::binary) << std::string("\x00\x11\x22\x33", 4);

    std::string command = "\"" + exe + "\" \"" + folder + "fix.ov\" \"" + folder + "longfile two.exe\"";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    Check(CreateProcessA(NULL, &command[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process), "start " + exe);
    ProcessId = process.dwProcessId;
    if (HWND dialog = WaitFor("Morvex Apply")) {
        PostMessageA(GetDlgItem(dialog, IDC_APPLY_APPLY), BM_CLICK, 0, 0);
        if (HWND box = WaitFor("Morvex")) {
            std::string said = Text(GetDlgItem(box, MESSAGE_TEXT));
            Check(said == "Patch applied to longfile two.exe.\r\nUndo patch: fix-undo.ov", "the message: " + said);
            PostMessageA(box, WM_COMMAND, IDOK, 0);
        }
        Sleep(300);
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    }
    Check(WaitForSingleObject(process.hProcess, 5000) == WAIT_OBJECT_0, "Close ends the program");
    TerminateProcess(process.hProcess, 1);
    Check(Read(folder + "longfile two.exe") == std::string("\x00\xAA\x22\xBB", 4), "the file holds the patched bytes");
    Check(Read(folder + "longfile one.exe") == std::string("\x00\x11\x22\x33", 4), "the other file is as it was");
    Check(Read(folder + "fix-undo.ov") == head + std::string("\x01\0\0\0\x01\x11\x03\0\0\0\x01\x33", 12) + "undoes fix.ov",
          "fix-undo.ov holds the undo patch");
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    printf("%d failed\n", Failed);
    return Failed ? 1 : 0;
}
