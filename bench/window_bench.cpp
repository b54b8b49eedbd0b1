// One apply of the applier's bench under Wine, undone afterwards, untimed:
// `morvexc.exe apply --undo` timed from its start to its end, or
// `morvexc.exe apply PATCH FILE OUTPUT` likewise (a flushed copy), or
// morvex-apply.exe started on PATCH and FILE and timed from Apply to its
// result box, its window pinged every 5 ms meanwhile (so the box is seen
// within that). Prints the time and the longest the window took to answer,
// in milliseconds. FILE must be named as the patch's target and lie beside
// it, with no undo patch there yet.
// Usage: window_bench console|copy|window MORVEXC_EXE MORVEX_APPLY_EXE PATCH FILE
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

enum { IDC_APPLY_APPLY = 1107, IDC_APPLY_CANCEL = 1108, IDC_APPLY_PROGRESS = 1109, MESSAGE_TEXT = 0xFFFF };

static double Now()
{
    LARGE_INTEGER count, frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * count.QuadPart / frequency.QuadPart;
}

static HANDLE Start(std::string command)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(NULL, &command[0], NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process)) {
        fprintf(stderr, "window_bench: cannot start %s\n", command.c_str());
        exit(1);
    }
    CloseHandle(process.hThread);
    return process.hProcess;
}

static void Run(const std::string& command)
{
    HANDLE process = Start(command);
    DWORD status = 1;
    WaitForSingleObject(process, INFINITE);
    GetExitCodeProcess(process, &status);
    CloseHandle(process);
    if (status != 0) {
        fprintf(stderr, "window_bench: %s failed\n", command.c_str());
        exit(1);
    }
}

struct Search {
    DWORD process;
    bool owned; // a message box, owned by the dialog
    HWND found;
};

static BOOL CALLBACK Visit(HWND window, LPARAM argument)
{
    Search& search = *reinterpret_cast<Search*>(argument);
    DWORD owner;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search.process && IsWindowVisible(window) && (GetWindow(window, GW_OWNER) != NULL) == search.owned)
        search.found = window;
    return TRUE;
}

static HWND Find(DWORD process, bool owned)
{
    Search search = {process, owned, NULL};
    EnumWindows(Visit, LPARAM(&search));
    return search.found;
}

static BOOL CALLBACK VisitOwned(HWND window, LPARAM argument)
{
    HWND* found = reinterpret_cast<HWND*>(argument);
    if (GetWindow(window, GW_OWNER) == found[0] && IsWindowVisible(window))
        found[1] = window;
    return TRUE;
}

// A box the dialog owns, among its thread's windows only: a look costs little.
static HWND FindBox(DWORD thread, HWND dialog)
{
    HWND found[2] = {dialog, NULL};
    EnumThreadWindows(thread, VisitOwned, LPARAM(found));
    return found[1];
}

// Presses Apply and waits for the result box, pinging the window; returns
// the time taken and puts the longest answer in `longest`.
static double ApplyInWindow(const std::string& command, double* longest)
{
    HANDLE process = Start(command);
    DWORD id = GetProcessId(process);
    HWND dialog = NULL, box = NULL;
    // Apply is pressed once the surveys of the start and of the window's
    // activation are over: Cancel is enabled while work runs, and the window
    // has stayed idle for 100 ms.
    auto idle = [&] {
        return dialog && IsWindowEnabled(GetDlgItem(dialog, IDC_APPLY_APPLY))
               && !IsWindowEnabled(GetDlgItem(dialog, IDC_APPLY_CANCEL));
    };
    for (int i = 0; i < 1000 && !(idle() && (Sleep(100), idle())); i++, Sleep(20))
        dialog = Find(id, false);
    if (!dialog) {
        fputs("window_bench: no window with Apply enabled\n", stderr);
        exit(1);
    }
    bool working = false;
    double start = Now();
    PostMessageA(GetDlgItem(dialog, IDC_APPLY_APPLY), BM_CLICK, 0, 0);
    DWORD thread = GetWindowThreadProcessId(dialog, NULL);
    while (!(box = FindBox(thread, dialog)) && Now() - start < 600000) {
        double sent = Now();
        DWORD_PTR result;
        SendMessageTimeoutA(dialog, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &result);
        *longest = std::max(*longest, Now() - sent);
        // A screenshot can be taken now.
        if (!working && (working = IsWindowVisible(GetDlgItem(dialog, IDC_APPLY_PROGRESS)))) {
            puts("working");
            fflush(stdout);
        }
        Sleep(5);
    }
    double took = Now() - start;
    char said[256] = "";
    GetWindowTextA(GetDlgItem(box, MESSAGE_TEXT), said, sizeof said);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    Sleep(200);
    PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    WaitForSingleObject(process, 10000);
    if (strncmp(said, "Patch applied to ", 17) != 0) {
        fprintf(stderr, "window_bench: the window said \"%s\"\n", said);
        exit(1);
    }
    return took;
}

int main(int argc, char** argv)
{
    if (argc != 6 || (strcmp(argv[1], "console") != 0 && strcmp(argv[1], "copy") != 0 && strcmp(argv[1], "window") != 0)) {
        fputs("usage: window_bench console|copy|window MORVEXC_EXE MORVEX_APPLY_EXE PATCH FILE\n", stderr);
        return 2;
    }
    std::string morvexc = std::string("\"") + argv[2] + "\"", patch = argv[4], file = argv[5];
    std::string undo = patch.substr(0, patch.rfind('.')) + "-undo" + patch.substr(patch.rfind('.'));
    double took, longest = 0;
    if (strcmp(argv[1], "console") == 0) {
        double start = Now();
        Run(morvexc + " apply --undo \"" + undo + "\" \"" + patch + "\" \"" + file + "\"");
        took = Now() - start;
    } else if (strcmp(argv[1], "copy") == 0) {
        double start = Now();
        Run(morvexc + " apply \"" + patch + "\" \"" + file + "\" \"" + file + ".out\"");
        took = Now() - start;
        DeleteFileA((file + ".out").c_str());
        printf("%.1f 0\n", took);
        return 0;
    } else {
        took = ApplyInWindow(std::string("\"") + argv[3] + "\" \"" + patch + "\" \"" + file + "\"", &longest);
    }
    Run(morvexc + " apply \"" + undo + "\" \"" + file + "\"");
    DeleteFileA(undo.c_str());
    printf("%.1f %.1f\n", took, longest);
    return 0;
}
