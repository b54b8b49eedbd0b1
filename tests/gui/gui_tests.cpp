// End-to-end tests of morvex.exe: starts the real program afresh for each scenario, drives its
// windows as a user would (WM_SETTEXT, EM_REPLACESEL, real key input, BM_CLICK), reads every message box and
// checks the patch files on disk. Usage: morvex_gui_tests MORVEX_EXE (a Unix path is taken as drive Z:)

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <string>

enum {
    IDC_ABOUT = 1000, IDC_EXIT = 1001, IDC_ORIGINAL_PATH = 1002, IDC_MODIFIED_PATH = 1003,
    IDC_BROWSE_ORIGINAL = 1004, IDC_BROWSE_MODIFIED = 1005, IDC_MAKE_PATCH = 1007,
    IDC_COMMENT_TEXT = 1013, IDC_COMMENT_OK = 1014,
    MESSAGE_TEXT = 0xFFFF, // a message box's text; also every unnamed static
    FILE_TYPES = 0x470, LOOK_IN = 0x471, FILE_NAME_BOX = 0x47C // in the platform's file dialogs; a combo box, its text the file name
};

static const DWORD WaitLimit = 5000; // ms for a window to open or close
static const DWORD QuietTime = 700;  // ms in which nothing else may open
static const std::string SaveDialog = "dialog: Select name for patch";
static const std::string Question = "message: Do you really want to quit?";
// Wine's wording of the question OFN_OVERWRITEPROMPT asks.
static const std::string Overwrite = "message: File already exists.\nDo you want to replace it? titled Select name for patch";
static const std::string DemoOriginal("\x00\x11\x22\x33", 4), DemoModified("\x00\xAA\x22\xBB", 4);
static const std::string DemoPatch("DEMO.EXE\0\0\0\0\0\x02\x00\x01\x00\x00\x00\x01\xAA\x03\x00\x00\x00\x01\xBB", 27);

static int Passed, Failed;
static std::string Scenario, ExePath, Folder; // Folder ends with a backslash
static PROCESS_INFORMATION Process;           // the program under test
static HWND Main;                             // its main dialog

static bool Check(bool ok, const std::string& what)
{
    (ok ? Passed : Failed)++;
    if (!ok)
        printf("FAIL [%s] %s\n", Scenario.c_str(), what.c_str());
    return ok;
}

static bool CheckEqual(const std::string& actual, const std::string& expected, const std::string& what)
{
    return Check(actual == expected, what + ": expected \"" + expected + "\", got \"" + actual + "\"");
}

static void CheckBytes(const std::string& path, const std::string& expected, const std::string& what)
{
    std::ifstream file(path, std::ios::binary);
    Check(std::string(std::istreambuf_iterator<char>(file), {}) == expected, what + " holds other bytes");
}

static std::string Text(HWND window)
{
    char text[1024] = "";
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, LPARAM(text), SMTO_ABORTIFHUNG, WaitLimit, NULL);
    return text;
}

// WM_SETTEXT replaces the text whole; EM_REPLACESEL enters it as typing or
// pasting does, within the field's limit.
static void SetText(HWND window, const std::string& text, UINT message = WM_SETTEXT)
{
    SendMessageTimeoutA(window, message, 0, LPARAM(text.c_str()), SMTO_ABORTIFHUNG, WaitLimit, NULL);
}

// Names each visible top-level window of the program by what it holds: the
// program's own windows all have the caption "Morvex", so their controls tell them apart.
static BOOL CALLBACK NameWindow(HWND window, LPARAM names)
{
    DWORD processId;
    GetWindowThreadProcessId(window, &processId);
    if (processId != Process.dwProcessId || !IsWindowVisible(window)) return TRUE;
    std::string title = Text(window);
    std::string kind = GetDlgItem(window, IDC_MAKE_PATCH) ? "main dialog"
                       : GetDlgItem(window, IDC_COMMENT_TEXT) ? "comment dialog"
                       : FindWindowExA(window, NULL, "Static", "Updated for Windows 98") ? "about box"
                       : GetDlgItem(window, MESSAGE_TEXT) ? "message: " + Text(GetDlgItem(window, MESSAGE_TEXT))
                       : "";
    (*reinterpret_cast<std::map<HWND, std::string>*>(names))[window] =
        kind.empty() ? "dialog: " + title : title == "Morvex" ? kind : kind + " titled " + title;
    return TRUE;
}

static std::map<HWND, std::string> Windows()
{
    std::map<HWND, std::string> names;
    EnumWindows(NameWindow, LPARAM(&names));
    return names;
}

// The names of the windows open but the main dialog and `allowed`.
static std::string Listing(HWND allowed = NULL)
{
    std::string list;
    for (auto& window : Windows())
        if (window.first != Main && window.first != allowed)
            list += (list.empty() ? "" : "; ") + window.second;
    return list;
}

static bool WaitUntil(const std::function<bool()>& done)
{
    for (DWORD start = GetTickCount(); GetTickCount() - start < WaitLimit; Sleep(50))
        if (done()) return true;
    return false;
}

static HWND Expect(const std::string& what)
{
    HWND found = NULL;
    auto open = [&] {
        for (auto& window : Windows())
            if (window.second == what)
                found = window.first;
        return found != NULL;
    };
    if (!WaitUntil(open))
        Check(false, "expected " + what + ", open: " + Listing());
    return found;
}

static void ExpectNothingElse(const std::string& action, HWND allowed = NULL)
{
    Sleep(QuietTime);
    std::string others = Listing(allowed);
    Check(others.empty(), "after " + action + " nothing else should open, found: " + others);
}

// Posted, because a button that opens a modal dialog returns only when it closes.
static void Click(HWND dialog, int id)
{
    PostMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

// Presses `button` in the window described as `what` (a file dialog is given `fileName`
// first, if any); the window must then close. Says Yes to what it asks meanwhile
// (both ask before a file is replaced; Windows also before a new file is named).
static bool Answer(const std::string& what, int button = IDOK, const std::string& fileName = "")
{
    HWND window = Expect(what);
    if (!window) return false;
    if (!fileName.empty())
        SetText(GetDlgItem(window, FILE_NAME_BOX), fileName);
    Click(window, button);
    auto closed = [&] {
        for (auto& asking : Windows())
            if (GetWindow(asking.first, GW_OWNER) == window && GetDlgItem(asking.first, IDYES))
                Click(asking.first, IDYES);
        return !IsWindowVisible(window);
    };
    return Check(WaitUntil(closed), what + " closes");
}

// Real key input, into whatever has the focus in `window`.
static void Press(HWND window, WORD key, bool alt = false)
{
    SetForegroundWindow(window);
    Sleep(100);
    for (int i = alt ? 0 : 1; i < (alt ? 4 : 3); i++) // Alt down, key down, key up, Alt up
        keybd_event(i == 0 || i == 3 ? VK_MENU : key, 0, i >= 2 ? KEYEVENTF_KEYUP : 0, 0);
}

static HWND Focus()
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(Process.dwThreadId, &info);
    return info.hwndFocus;
}

// The "Files of type" descriptions, then the selected index. Read as wide
// text: Wine hands CB_GETLBTEXT across processes in UTF-16 even when asked in ANSI.
static std::string FileTypes(HWND dialog)
{
    HWND types = GetDlgItem(dialog, FILE_TYPES);
    std::string list;
    for (int i = 0; i < SendMessageA(types, CB_GETCOUNT, 0, 0); i++) {
        wchar_t text[256] = L"";
        SendMessageW(types, CB_GETLBTEXT, i, LPARAM(text));
        list += std::string(text, text + wcslen(text)) + "|"; // all ASCII
    }
    return list + " selected " + std::to_string(SendMessageA(types, CB_GETCURSEL, 0, 0));
}

static void SetFields(const std::string& original, const std::string& modified)
{
    SetText(GetDlgItem(Main, IDC_ORIGINAL_PATH), original);
    SetText(GetDlgItem(Main, IDC_MODIFIED_PATH), modified);
}

// Make Patch on the filled fields, with `comment` pasted and accepted with OK; returns the save dialog.
static HWND MakePatch(const std::string& comment)
{
    Click(Main, IDC_MAKE_PATCH);
    HWND field = GetDlgItem(Expect("comment dialog"), IDC_COMMENT_TEXT);
    SetText(field, comment, EM_REPLACESEL);
    CheckEqual(Text(field), comment.substr(0, 255), "comment field after a paste");
    return Answer("comment dialog", IDC_COMMENT_OK) ? Expect(SaveDialog) : NULL;
}

// The comment dialog and the About box close only through their own OK.
// Meanwhile the main dialog's commands, its Escape included, only bring
// the open dialog back to the front.
static bool CheckHoldsOn(HWND dialog)
{
    if (!dialog) return false;
    Press(dialog, VK_ESCAPE);
    ExpectNothingElse("Escape", dialog);
    PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    ExpectNothingElse("the close box", dialog);
    for (int id : {IDC_MAKE_PATCH, IDC_BROWSE_ORIGINAL, IDC_BROWSE_MODIFIED, IDC_ABOUT, IDC_EXIT}) {
        SetForegroundWindow(Main);
        Click(Main, id);
        ExpectNothingElse("button " + std::to_string(id), dialog);
        Check(GetForegroundWindow() == dialog, "button " + std::to_string(id) + " brings the open dialog to the front");
    }
    Press(Main, VK_ESCAPE);
    ExpectNothingElse("Escape in the main dialog", dialog);
    return Check(IsWindowVisible(dialog), "the dialog is still open");
}

static void Refusals()
{
    static const char* const refusals[][3] = {
        {"", "", "You must select the unmodified file first!"},
        {"demo.exe", "", "You must select the modified file first!"},
        {"demo.exe", "short.new", "Files don't appear to be the same size!"},
        {"absent.exe", "demo.new", "Error opening original file!"},
    };
    for (auto refusal : refusals) {
        SetFields(*refusal[0] ? Folder + refusal[0] : "", *refusal[1] ? Folder + refusal[1] : "");
        Click(Main, IDC_MAKE_PATCH);
        if (!Answer(std::string("message: ") + refusal[2])) return;
        ExpectNothingElse(refusal[2]);
    }
}

static void WholeRoad()
{
    // Paths pasted in quotes and blanks; 300 characters pasted keep 255.
    const std::string patchPath = Folder + "patches\\first.ov";
    for (auto field : {std::make_pair(IDC_ORIGINAL_PATH, "demo.exe"), std::make_pair(IDC_MODIFIED_PATH, "demo.new")}) {
        std::string quoted = " \"" + Folder + field.second + "\" ";
        SetText(GetDlgItem(Main, field.first), quoted + std::string(300 - quoted.size(), ' '), EM_REPLACESEL);
        CheckEqual(Text(GetDlgItem(Main, field.first)), quoted + std::string(255 - quoted.size(), ' '),
                   "path field after a 300-character paste");
    }
    Click(Main, IDC_MAKE_PATCH);
    HWND comment = Expect("comment dialog");
    Check(comment && Focus() == GetDlgItem(comment, IDC_COMMENT_TEXT), "the focus starts in the comment field");
    if (!CheckHoldsOn(comment)) return;
    SetText(GetDlgItem(comment, IDC_COMMENT_TEXT), "hi");
    Press(comment, VK_RETURN);
    Check(WaitUntil([&] { return !IsWindowVisible(comment); }), "Enter accepts the comment");
    if (!Answer(SaveDialog, IDOK, patchPath) || !Answer("message: Patch Complete!")) return;
    CheckBytes(patchPath, DemoPatch + "hi", "first patch");

    // Second patch: the save dialog offers the first one's path; cancelling writes nothing.
    std::string longComment;
    while (longComment.size() < 300)
        longComment += "abcdefghijklmnopqrstuvwxyz";
    HWND save = MakePatch(longComment);
    CheckEqual(FileTypes(save),
               "TIE Disk (*.ov)|TIECD (*.qj)|TIE95 (*.t95)|XvT (*.114)|BoP (*.bop)|XWA (*.202)|"
               "Xwing (*.xov)|All Files (*.*)| selected 0",
               "save dialog file types");
    CheckEqual(Text(GetDlgItem(save, FILE_NAME_BOX)) + " in " + Text(GetDlgItem(save, LOOK_IN)), "first.ov in patches",
               "save dialog's initial file");
    if (!Answer(SaveDialog, IDCANCEL)) return;
    ExpectNothingElse("cancelling the save dialog");
    CheckBytes(patchPath, DemoPatch + "hi", "patch after a cancelled save");

    // Third: the name offered is taken as it is, after a question that No
    // answers with the save dialog still open; the comment keeps 255 characters.
    save = MakePatch(longComment);
    Click(save, IDOK);
    if (!Answer(Overwrite, IDNO)) return;
    ExpectNothingElse("No to replacing the patch", save);
    CheckBytes(patchPath, DemoPatch + "hi", "patch after No");
    if (Answer(SaveDialog) && Answer("message: Patch Complete!"))
        CheckBytes(patchPath, DemoPatch + longComment.substr(0, 255), "patch over the first");
}

// Each chooser opens first by its Alt mnemonic, then by its button.
static void Browse()
{
    static const struct { int button, field; char letter; std::string title, file; } choosers[] = {
        {IDC_BROWSE_ORIGINAL, IDC_ORIGINAL_PATH, 'R', "dialog: Select unmodified file", "demo.exe"},
        {IDC_BROWSE_MODIFIED, IDC_MODIFIED_PATH, 'O', "dialog: Select modified file", "demo.new"},
    };
    for (const auto& chooser : choosers) {
        HWND field = GetDlgItem(Main, chooser.field);
        Press(Main, chooser.letter, true);
        CheckEqual(FileTypes(Expect(chooser.title)), "Executables (*.exe)|All Files (*.*)| selected 0",
                   "open dialog file types");
        if (!Answer(chooser.title, IDOK, Folder + chooser.file)) return;
        CheckEqual(Text(field), Folder + chooser.file, "field after choosing");
        // Typed text gives way to the buffer's text when the next dialog is cancelled.
        SetText(field, "typed by hand");
        Click(Main, chooser.button);
        CheckEqual(Text(GetDlgItem(Expect(chooser.title), FILE_NAME_BOX)), chooser.file, "the next dialog offers the chosen file");
        if (!Answer(chooser.title, IDCANCEL)) return;
        ExpectNothingElse("cancelling the open dialog");
        CheckEqual(Text(field), Folder + chooser.file, "field after a cancel");
    }
}

// Opened by its Alt mnemonic, as Make Patch is afterwards.
static void About()
{
    Press(Main, 'B', true);
    if (!CheckHoldsOn(Expect("about box")) || !Answer("about box")) return;
    Press(Main, 'M', true); // commands work again
    Answer("message: You must select the unmodified file first!");
}

static void PatchOverOriginal()
{
    SetFields(Folder + "demo.exe", Folder + "demo.new");
    if (MakePatch("") && Answer(SaveDialog, IDOK, Folder + "demo.exe")
        && Answer("message: The patch can't be written over one of the files being compared!")
        && Answer("message: Error writing patch!"))
        ExpectNothingElse("the two messages");
    CheckBytes(Folder + "demo.exe", DemoOriginal, "original untouched");
}

// Every way to ask for the exit, answered No; then Exit answered Yes.
static int WindowsCreated;

static void CALLBACK CountWindow(HWINEVENTHOOK, DWORD, HWND, LONG object, LONG, DWORD, DWORD)
{
    WindowsCreated += object == OBJID_WINDOW;
}

static void ExitQuestion()
{
    static const char* const ways[] = {"Alt+X", "the close box", "Escape", "Enter in a path field"};
    SetFields("C:\\kept\\one.exe", "C:\\kept\\two.exe");
    for (int way = 0; way < 4; way++) {
        if (way == 0)
            Press(Main, 'X', true);
        else if (way == 1)
            PostMessageA(Main, WM_SYSCOMMAND, SC_CLOSE, 0);
        else { // Enter in a field asks too, since the dialog has no default button
            SendMessageA(Main, WM_NEXTDLGCTL, WPARAM(GetDlgItem(Main, IDC_MODIFIED_PATH)), TRUE);
            Press(Main, way == 2 ? VK_ESCAPE : VK_RETURN);
        }
        HWND box = Expect(Question);
        // Wine's message box answers DM_GETDEFID with IDOK; its default button is the focused one.
        Check(box && Focus() == GetDlgItem(box, IDNO), std::string("No is the default after ") + ways[way]);
        if (!Answer(Question, IDNO)) return;
        ExpectNothingElse(std::string("No to the question from ") + ways[way]);
        CheckEqual(Text(GetDlgItem(Main, IDC_ORIGINAL_PATH)) + " " + Text(GetDlgItem(Main, IDC_MODIFIED_PATH)),
                   "C:\\kept\\one.exe C:\\kept\\two.exe", "fields after No");
    }

    // A second question would close at once on the quit request already
    // queued, so every window the program creates after Yes is counted.
    Click(Main, IDC_EXIT);
    HWND box = Expect(Question);
    if (!box) return;
    WindowsCreated = 0;
    HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_CREATE, EVENT_OBJECT_CREATE, NULL, CountWindow,
                                         Process.dwProcessId, 0, WINEVENT_OUTOFCONTEXT);
    Click(box, IDYES);
    bool ended = WaitUntil([] {
        for (MSG message; PeekMessageA(&message, NULL, 0, 0, PM_REMOVE);)
            DispatchMessageA(&message); // delivers the window events
        return WaitForSingleObject(Process.hProcess, 0) == WAIT_OBJECT_0;
    });
    UnhookWinEvent(hook);
    Check(WindowsCreated == 0, "no window may open after Yes; opened: " + std::to_string(WindowsCreated));
    DWORD exitCode = STILL_ACTIVE;
    if (Check(ended, "Yes ends the program") && GetExitCodeProcess(Process.hProcess, &exitCode))
        CheckEqual(std::to_string(exitCode), "0", "exit code");
}

// Starts the program in a folder of its own, so that paths taken from its
// current folder show, runs `scenario` on it and ends it.
static void Run(const char* name, void (*scenario)())
{
    printf("-- %s\n", (Scenario = name).c_str());
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    Process = {};
    bool started = CreateProcessA(ExePath.c_str(), NULL, NULL, NULL, FALSE, 0, NULL, (Folder + "start").c_str(),
                                  &startup, &Process);
    if (Check(started, "start " + ExePath) && (Main = Expect("main dialog")))
        scenario();
    TerminateProcess(Process.hProcess, 1); // fails harmlessly once the program has ended
    WaitForSingleObject(Process.hProcess, WaitLimit);
    CloseHandle(Process.hThread);
    CloseHandle(Process.hProcess);
}

int main(int argc, char** argv)
{
    if (argc != 2) {
        fputs("usage: morvex_gui_tests MORVEX_EXE\n", stderr);
        return 2;
    }
    ExePath = std::string(argv[1][0] == '/' ? "Z:" : "") + argv[1]; // under Wine the Unix root is drive Z:
    std::replace(ExePath.begin(), ExePath.end(), '/', '\\');
    std::string name = "morvex-gui-" + std::to_string(GetCurrentProcessId());
    Folder = (std::filesystem::temp_directory_path() / name).string() + "\\";
    std::filesystem::create_directories(Folder + "start");
    std::filesystem::create_directories(Folder + "patches");
    std::ofstream(Folder + "demo.exe", std::ios::binary) << DemoOriginal;
    std::ofstream(Folder + "demo.new", std::ios::binary) << DemoModified;
    std::ofstream(Folder + "short.new", std::ios::binary) << DemoModified.substr(0, 3);

    Run("make patch refusals", Refusals);
    Run("patch from start to end, then twice more", WholeRoad);
    Run("browse", Browse);
    Run("about", About);
    Run("patch named as the original", PatchOverOriginal);
    Run("exit question", ExitQuestion);

    std::error_code ignored;
    std::filesystem::remove_all(Folder, ignored);
    printf("%d passed, %d failed\n", Passed, Failed);
    return Failed ? 1 : 0;
}
