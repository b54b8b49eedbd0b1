// End-to-end tests of morvex.exe: starts the real program, drives its windows
// as a user would (text put in with WM_SETTEXT, real key input, buttons
// clicked with BM_CLICK), reads every message box and checks the patch files
// on disk. Each scenario runs in a fresh process.
// Usage: morvex_gui_tests MORVEX_EXE   (a Unix path is taken as drive Z:)

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

enum {
    IDC_ABOUT = 1000, IDC_EXIT = 1001, IDC_ORIGINAL_PATH = 1002, IDC_MODIFIED_PATH = 1003,
    IDC_BROWSE_ORIGINAL = 1004, IDC_BROWSE_MODIFIED = 1005, IDC_MAKE_PATCH = 1007,
    IDC_COMMENT_TEXT = 1013, IDC_COMMENT_OK = 1014,
    MESSAGE_TEXT = 0xFFFF, // a message box's text; also every unnamed static
    FILE_TYPES = 0x470, LOOK_IN = 0x471, FILE_NAME_BOX = 0x47C // in the platform's file dialogs
};

static const DWORD WaitLimit = 5000; // ms for a window to open or close
static const DWORD QuietTime = 700;  // ms in which nothing else may open

static int Passed, Failed;
static std::string Scenario, ExePath, Folder; // Folder ends with a backslash

struct Program {
    PROCESS_INFORMATION process;
    HWND main;
};

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

static std::string ReadBytes(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

static std::string Hex(const std::string& bytes)
{
    std::string hex;
    char byte[4];
    for (unsigned char c : bytes) {
        snprintf(byte, sizeof byte, "%02X ", c);
        hex += byte;
    }
    return hex;
}

static void CheckBytes(const std::string& path, const std::string& expected, const std::string& what)
{
    CheckEqual(Hex(ReadBytes(path)), Hex(expected), what);
}

// --- Windows of the program ---------------------------------------------------

static std::string Text(HWND window)
{
    char text[1024] = "";
    DWORD_PTR ignored;
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                        SMTO_ABORTIFHUNG, WaitLimit, &ignored);
    return text;
}

static void SetText(HWND window, const std::string& text)
{
    DWORD_PTR ignored;
    SendMessageTimeoutA(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()),
                        SMTO_ABORTIFHUNG, WaitLimit, &ignored);
}

static std::string ClassOf(HWND window)
{
    char name[64] = "";
    GetClassNameA(window, name, sizeof name);
    return name;
}

struct WindowList {
    DWORD processId;
    std::vector<HWND> windows;
};

static BOOL CALLBACK CollectWindow(HWND window, LPARAM list)
{
    WindowList* found = reinterpret_cast<WindowList*>(list);
    DWORD processId;
    GetWindowThreadProcessId(window, &processId);
    if (processId == found->processId && IsWindowVisible(window))
        found->windows.push_back(window);
    return TRUE;
}

// The program's visible top-level windows.
static std::vector<HWND> Windows(const Program& program)
{
    WindowList list = {program.process.dwProcessId, {}};
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&list));
    return list.windows;
}

// Names a top-level window by what it holds: the program's own windows all
// have the caption "Morvex", so their controls tell them apart.
static std::string Describe(HWND window)
{
    std::string kind, title = Text(window);
    if (GetDlgItem(window, IDC_MAKE_PATCH))
        kind = "main dialog";
    else if (GetDlgItem(window, IDC_COMMENT_TEXT))
        kind = "comment dialog";
    else if (FindWindowExA(window, NULL, "Static", "Updated for Windows 98"))
        kind = "about box";
    else if (GetDlgItem(window, MESSAGE_TEXT))
        kind = "message: " + Text(GetDlgItem(window, MESSAGE_TEXT));
    else
        return "dialog: " + title;
    return title == "Morvex" ? kind : kind + " titled " + title;
}

static std::string Listing(const Program& program, HWND skip1 = NULL, HWND skip2 = NULL)
{
    std::string list;
    for (HWND window : Windows(program))
        if (window != skip1 && window != skip2)
            list += (list.empty() ? "" : "; ") + Describe(window);
    return list;
}

// Waits for the window described as `what`.
static HWND Expect(const Program& program, const std::string& what)
{
    for (DWORD start = GetTickCount(); GetTickCount() - start < WaitLimit; Sleep(50))
        for (HWND window : Windows(program))
            if (Describe(window) == what)
                return window;
    Check(false, "expected " + what + ", open: " + Listing(program));
    return NULL;
}

static bool Closes(HWND window)
{
    for (DWORD start = GetTickCount(); GetTickCount() - start < WaitLimit; Sleep(50))
        if (!IsWindowVisible(window))
            return true;
    return false;
}

// Nothing but the main dialog and `allowed` may open after `action`.
static void ExpectNothingElse(const Program& program, const std::string& action, HWND allowed = NULL)
{
    Sleep(QuietTime);
    std::string others = Listing(program, program.main, allowed);
    Check(others.empty(), "after " + action + " nothing else should open, found: " + others);
}

// --- Input --------------------------------------------------------------------

// Posted, because a button that opens a modal dialog returns only when it closes.
static void Click(HWND dialog, int id)
{
    PostMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0);
}

static bool ClickAndClose(HWND dialog, int id, const std::string& what)
{
    Click(dialog, id);
    return Check(Closes(dialog), what + " closes");
}

// Real key input, into whatever has the focus in `window`.
static void Press(HWND window, WORD key, bool alt = false)
{
    SetForegroundWindow(window);
    Sleep(100);
    INPUT inputs[4] = {};
    WORD keys[4] = {VK_MENU, key, key, VK_MENU};
    int first = alt ? 0 : 1, end = alt ? 4 : 3;
    for (int i = first; i < end; i++) {
        inputs[i].type = INPUT_KEYBOARD;
        inputs[i].ki.wVk = keys[i];
        inputs[i].ki.dwFlags = i >= 2 ? KEYEVENTF_KEYUP : 0;
    }
    SendInput(end - first, inputs + first, sizeof(INPUT));
}

static HWND FocusOf(const Program& program)
{
    GUITHREADINFO info = {};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(program.process.dwThreadId, &info);
    return info.hwndFocus;
}

// --- File dialogs -------------------------------------------------------------

static HWND FileNameField(HWND dialog)
{
    HWND field = GetDlgItem(dialog, FILE_NAME_BOX); // an edit inside a combo box
    while (field && ClassOf(field) != "Edit")
        field = GetWindow(field, GW_CHILD);
    return field;
}

// The "Files of type" descriptions, then the selected index. Read as wide
// text: Wine hands CB_GETLBTEXT across processes in UTF-16 even when asked in ANSI.
static std::string FileTypes(HWND dialog)
{
    HWND types = GetDlgItem(dialog, FILE_TYPES);
    std::string list;
    for (int i = 0; i < SendMessageA(types, CB_GETCOUNT, 0, 0); i++) {
        wchar_t wide[256] = L"";
        char text[256] = "";
        SendMessageW(types, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(wide));
        WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof text, NULL, NULL);
        list += std::string(text) + "|";
    }
    return list + " selected " + std::to_string(SendMessageA(types, CB_GETCURSEL, 0, 0));
}

// Names a file (or keeps the name offered when `path` is empty) and confirms.
static bool ChooseFile(const Program& program, HWND dialog, const std::string& path)
{
    if (!path.empty())
        SetText(FileNameField(dialog), path);
    Click(dialog, IDOK);
    for (DWORD start = GetTickCount(); GetTickCount() - start < WaitLimit; Sleep(50)) {
        if (!IsWindowVisible(dialog))
            return true;
        for (HWND window : Windows(program)) // Windows asks before a new file is named; Wine does not
            if (GetWindow(window, GW_OWNER) == dialog && GetDlgItem(window, IDYES))
                Click(window, IDYES);
    }
    return Check(false, Text(dialog) + " does not take " + path);
}

// --- Steps of the program -----------------------------------------------------

static void FillFields(const Program& program, const std::string& original, const std::string& modified)
{
    SetText(GetDlgItem(program.main, IDC_ORIGINAL_PATH), original);
    SetText(GetDlgItem(program.main, IDC_MODIFIED_PATH), modified);
}

// Make Patch on the filled fields, up to the open comment dialog.
static HWND StartPatch(const Program& program)
{
    Click(program.main, IDC_MAKE_PATCH);
    return Expect(program, "comment dialog");
}

// Accepts a comment with the OK button; returns the save dialog.
static HWND GiveComment(const Program& program, HWND comment, const std::string& text)
{
    if (!comment)
        return NULL;
    SetText(GetDlgItem(comment, IDC_COMMENT_TEXT), text);
    if (!ClickAndClose(comment, IDC_COMMENT_OK, "comment dialog"))
        return NULL;
    return Expect(program, "dialog: Select name for patch");
}

// Answers the message box showing `text` with `button`.
static bool Answer(const Program& program, const std::string& text, int button = IDOK)
{
    HWND box = Expect(program, "message: " + text);
    return box && ClickAndClose(box, button, "message box");
}

// The comment dialog and the About box close only through their own OK.
// Meanwhile the main dialog's commands, its Escape included, only bring
// the open dialog back to the front.
static void CheckHoldsOn(const Program& program, HWND dialog)
{
    Press(dialog, VK_ESCAPE);
    ExpectNothingElse(program, "Escape", dialog);
    PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
    ExpectNothingElse(program, "the close box", dialog);
    for (int id : {IDC_MAKE_PATCH, IDC_BROWSE_ORIGINAL, IDC_BROWSE_MODIFIED, IDC_ABOUT, IDC_EXIT}) {
        SetForegroundWindow(program.main);
        Click(program.main, id);
        ExpectNothingElse(program, "button " + std::to_string(id), dialog);
        Check(GetForegroundWindow() == dialog, "button " + std::to_string(id) + " brings the open dialog to the front");
    }
    Press(program.main, VK_ESCAPE);
    ExpectNothingElse(program, "Escape in the main dialog", dialog);
    Check(IsWindowVisible(dialog), "the dialog is still open");
}

// --- Scenarios ----------------------------------------------------------------

static const std::string DemoOriginal("\x00\x11\x22\x33", 4);
static const std::string DemoModified("\x00\xAA\x22\xBB", 4);
static const std::string DemoPatch("DEMO.EXE\0\0\0\0\0\x02\x00"
                                   "\x01\x00\x00\x00\x01\xAA\x03\x00\x00\x00\x01\xBB", 27);

static void ControlsAndAccelerators(Program& program)
{
    // Template order, which is also the tab order; no default push button.
    std::string controls;
    for (HWND child = GetWindow(program.main, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        LONG style = GetWindowLongA(child, GWL_STYLE);
        controls += std::to_string(GetDlgCtrlID(child)) + " " + ClassOf(child) + " '" + Text(child) + "'"
                    + (style & WS_TABSTOP ? " tab" : "")
                    + (ClassOf(child) == "Button" && (style & BS_TYPEMASK) != BS_PUSHBUTTON ? " default" : "") + "\n";
    }
    CheckEqual(controls,
               "1007 Button '&Make Patch' tab\n1002 Edit '' tab\n1004 Button 'B&rowse...' tab\n"
               "1003 Edit '' tab\n1005 Button 'Br&owse...' tab\n1000 Button 'A&bout' tab\n1001 Button 'E&xit' tab\n"
               "65535 Static 'Original unmodified file:'\n65535 Static 'File to make patch with:'\n",
               "main dialog controls");
    std::string tabOrder;
    HWND control = GetDlgItem(program.main, IDC_MAKE_PATCH);
    for (int i = 0; i < 7 && control; i++) {
        control = GetNextDlgTabItem(program.main, control, FALSE);
        tabOrder += std::to_string(GetDlgCtrlID(control)) + " ";
    }
    CheckEqual(tabOrder, "1002 1004 1003 1005 1000 1001 1007 ", "Tab from Make Patch on");

    // WinMain loads the table only after the dialog has ended: read it from the file.
    HMODULE module = LoadLibraryExA(ExePath.c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
    HACCEL table = module ? LoadAcceleratorsA(module, "MORVEX") : NULL;
    ACCEL entries[16];
    int count = table ? std::min(CopyAcceleratorTableA(table, entries, 16), 16) : 0;
    std::sort(entries, entries + count, [](const ACCEL& a, const ACCEL& b) { return a.key < b.key; });
    std::string accelerators;
    for (int i = 0; i < count; i++)
        accelerators += std::to_string(entries[i].fVirt) + "/" + std::to_string(entries[i].key) + "/"
                        + std::to_string(entries[i].cmd) + " ";
    // 18 is FALT | FNOINVERT: character codes with Alt, not virtual keys.
    CheckEqual(accelerators, "18/2/1000 18/13/1007 18/15/1005 18/18/1004 18/24/1001 ", "accelerators (flags/key/command)");
    if (module)
        FreeLibrary(module);
}

// Make Patch refusals: one message each, and nothing after it.
static void Refusals(Program& program)
{
    static const char* const refusals[][3] = {
        {"", "", "You must select the unmodified file first!"},
        {"demo.exe", "", "You must select the modified file first!"},
        {"demo.exe", "short.new", "Files don't appear to be the same size!"},
        {"absent.exe", "demo.new", "Error opening original file!"},
    };
    for (auto refusal : refusals) {
        FillFields(program, *refusal[0] ? Folder + refusal[0] : "", *refusal[1] ? Folder + refusal[1] : "");
        Click(program.main, IDC_MAKE_PATCH);
        if (!Answer(program, refusal[2]))
            return;
        ExpectNothingElse(program, refusal[2]);
    }
}

static void WholeRoad(Program& program)
{
    const std::string patchPath = Folder + "patches\\first.ov";
    FillFields(program, Folder + "demo.exe", Folder + "demo.new");
    HWND comment = StartPatch(program);
    if (!comment)
        return;
    Check(FocusOf(program) == GetDlgItem(comment, IDC_COMMENT_TEXT), "the focus starts in the comment field");
    CheckHoldsOn(program, comment);
    SetText(GetDlgItem(comment, IDC_COMMENT_TEXT), "hi");
    Press(comment, VK_RETURN);
    Check(Closes(comment), "Enter accepts the comment");
    HWND save = Expect(program, "dialog: Select name for patch");
    if (!save)
        return;
    CheckEqual(FileTypes(save),
               "TIE Disk (*.ov)|TIECD (*.qj)|TIE95 (*.t95)|XvT (*.114)|BoP (*.bop)|XWA (*.202)|"
               "Xwing (*.xov)|All Files (*.*)| selected 0",
               "save dialog file types");
    if (!ChooseFile(program, save, patchPath) || !Answer(program, "Patch Complete!"))
        return;
    CheckBytes(patchPath, DemoPatch + "hi", "first patch");

    // Second patch: the save dialog offers the first one's path; cancelling writes nothing.
    std::string longComment;
    for (int i = 0; i < 300; i++)
        longComment += static_cast<char>('a' + i % 26);
    save = GiveComment(program, StartPatch(program), longComment);
    if (!save)
        return;
    CheckEqual(Text(FileNameField(save)) + " in " + Text(GetDlgItem(save, LOOK_IN)), "first.ov in patches",
               "save dialog's initial file");
    ClickAndClose(save, IDCANCEL, "save dialog");
    ExpectNothingElse(program, "cancelling the save dialog");
    CheckBytes(patchPath, DemoPatch + "hi", "patch after a cancelled save");

    // Third: the name offered is taken as it is; the comment is cut to 255 characters.
    save = GiveComment(program, StartPatch(program), longComment);
    if (save && ChooseFile(program, save, "") && Answer(program, "Patch Complete!"))
        CheckBytes(patchPath, DemoPatch + longComment.substr(0, 255), "patch over the first");
}

static void Browse(Program& program)
{
    struct Chooser {
        int button, field;
        const char *title, *file;
    };
    static const Chooser choosers[] = {
        {IDC_BROWSE_ORIGINAL, IDC_ORIGINAL_PATH, "dialog: Select unmodified file", "demo.exe"},
        {IDC_BROWSE_MODIFIED, IDC_MODIFIED_PATH, "dialog: Select modified file", "demo.new"},
    };
    for (const Chooser& chooser : choosers) {
        HWND field = GetDlgItem(program.main, chooser.field);
        Click(program.main, chooser.button);
        HWND open = Expect(program, chooser.title);
        if (!open)
            return;
        CheckEqual(FileTypes(open), "Executables (*.exe)|All Files (*.*)| selected 0", "open dialog file types");
        if (!ChooseFile(program, open, Folder + chooser.file))
            return;
        CheckEqual(Text(field), Folder + chooser.file, "field after choosing");
        // Typed text gives way to the buffer's text when the next dialog is cancelled.
        SetText(field, "typed by hand");
        Click(program.main, chooser.button);
        if (!(open = Expect(program, chooser.title)))
            return;
        CheckEqual(Text(FileNameField(open)), chooser.file, "the next dialog offers the chosen file");
        ClickAndClose(open, IDCANCEL, "open dialog");
        ExpectNothingElse(program, "cancelling the open dialog");
        CheckEqual(Text(field), Folder + chooser.file, "field after a cancel");
    }
}

static void About(Program& program)
{
    Click(program.main, IDC_ABOUT);
    HWND about = Expect(program, "about box");
    if (!about)
        return;
    CheckHoldsOn(program, about);
    ClickAndClose(about, IDOK, "about box with OK");
    Click(program.main, IDC_MAKE_PATCH); // commands work again
    Answer(program, "You must select the unmodified file first!");
}

static void PatchOverOriginal(Program& program)
{
    FillFields(program, Folder + "demo.exe", Folder + "demo.new");
    HWND save = GiveComment(program, StartPatch(program), "");
    if (save && ChooseFile(program, save, Folder + "demo.exe")
        && Answer(program, "The patch can't be written over one of the files being compared!")
        && Answer(program, "Error writing patch!"))
        ExpectNothingElse(program, "the two messages");
    CheckBytes(Folder + "demo.exe", DemoOriginal, "original untouched");
}

static int WindowsCreated;

static void CALLBACK CountWindow(HWINEVENTHOOK, DWORD, HWND, LONG object, LONG, DWORD, DWORD)
{
    if (object == OBJID_WINDOW)
        WindowsCreated++;
}

// Every way to ask for the exit, answered No; then Exit answered Yes.
static void ExitQuestion(Program& program)
{
    static const char* const ways[] = {"Exit", "the close box", "Escape", "Enter in a path field"};
    FillFields(program, "C:\\kept\\one.exe", "C:\\kept\\two.exe");
    for (int way = 0; way < 4; way++) {
        if (way == 0)
            Click(program.main, IDC_EXIT);
        else if (way == 1)
            PostMessageA(program.main, WM_SYSCOMMAND, SC_CLOSE, 0);
        else { // Enter in a field asks too, since the dialog has no default button
            SendMessageA(program.main, WM_NEXTDLGCTL,
                         reinterpret_cast<WPARAM>(GetDlgItem(program.main, IDC_MODIFIED_PATH)), TRUE);
            Press(program.main, way == 2 ? VK_ESCAPE : VK_RETURN);
        }
        HWND box = Expect(program, "message: Do you really want to quit?");
        if (!box)
            return;
        // Wine's message box answers DM_GETDEFID with IDOK; its default button is the focused one.
        CheckEqual(std::to_string(GetDlgCtrlID(FocusOf(program))), std::to_string(IDNO),
                   std::string("default button of the question from ") + ways[way]);
        ClickAndClose(box, IDNO, "question");
        ExpectNothingElse(program, std::string("No to the question from ") + ways[way]);
        CheckEqual(Text(GetDlgItem(program.main, IDC_ORIGINAL_PATH)) + " " + Text(GetDlgItem(program.main, IDC_MODIFIED_PATH)),
                   "C:\\kept\\one.exe C:\\kept\\two.exe", "fields after No");
    }

    // A second question would close at once on the quit request already
    // queued, so every window the program creates after Yes is counted.
    Click(program.main, IDC_EXIT);
    HWND box = Expect(program, "message: Do you really want to quit?");
    if (!box)
        return;
    HANDLE process = program.process.hProcess;
    WindowsCreated = 0;
    HWINEVENTHOOK hook = SetWinEventHook(EVENT_OBJECT_CREATE, EVENT_OBJECT_CREATE, NULL, CountWindow,
                                         program.process.dwProcessId, 0, WINEVENT_OUTOFCONTEXT);
    Click(box, IDYES);
    for (DWORD start = GetTickCount(); GetTickCount() - start < WaitLimit;) {
        DWORD woke = MsgWaitForMultipleObjects(1, &process, FALSE, 50, QS_ALLINPUT);
        for (MSG message; PeekMessageA(&message, NULL, 0, 0, PM_REMOVE);)
            DispatchMessageA(&message); // delivers the window events
        if (woke == WAIT_OBJECT_0)
            break;
    }
    UnhookWinEvent(hook);
    Check(WindowsCreated == 0, "no window, such as a second question, may open after Yes; opened: "
                               + std::to_string(WindowsCreated));
    DWORD exitCode = STILL_ACTIVE;
    if (Check(WaitForSingleObject(process, 0) == WAIT_OBJECT_0, "Yes ends the program")) {
        GetExitCodeProcess(process, &exitCode);
        CheckEqual(std::to_string(exitCode), "0", "exit code");
    }
}

// Alt and the underlined letter press each button of the main dialog.
static void Mnemonics(Program& program)
{
    struct Mnemonic {
        char letter;
        const char* opens;
        int closeWith;
    };
    static const Mnemonic mnemonics[] = {
        {'M', "message: You must select the unmodified file first!", IDOK},
        {'R', "dialog: Select unmodified file", IDCANCEL},
        {'O', "dialog: Select modified file", IDCANCEL},
        {'B', "about box", IDOK},
        {'X', "message: Do you really want to quit?", IDNO},
    };
    for (const Mnemonic& mnemonic : mnemonics) {
        Press(program.main, mnemonic.letter, true);
        HWND window = Expect(program, mnemonic.opens);
        if (!window || !ClickAndClose(window, mnemonic.closeWith, mnemonic.opens))
            return;
    }
}

// Starts the program in a folder of its own, so that paths taken from its
// current folder show, runs `scenario` on it and ends it.
static void Run(const char* name, void (*scenario)(Program&))
{
    Scenario = name;
    printf("-- %s\n", name);
    Program program = {};
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    std::string commandLine = "\"" + ExePath + "\"";
    if (!CreateProcessA(ExePath.c_str(), &commandLine[0], NULL, NULL, FALSE, 0, NULL,
                        (Folder + "start").c_str(), &startup, &program.process)) {
        Check(false, "cannot start " + ExePath);
        return;
    }
    if ((program.main = Expect(program, "main dialog")))
        scenario(program);
    if (WaitForSingleObject(program.process.hProcess, 0) == WAIT_TIMEOUT) {
        TerminateProcess(program.process.hProcess, 1);
        WaitForSingleObject(program.process.hProcess, WaitLimit);
    }
    CloseHandle(program.process.hThread);
    CloseHandle(program.process.hProcess);
}

int main(int argc, char** argv)
{
    if (argc != 2) {
        fputs("usage: morvex_gui_tests MORVEX_EXE\n", stderr);
        return 2;
    }
    ExePath = argv[1];
    if (ExePath[0] == '/') // a Unix path under Wine: the root is drive Z:
        ExePath = "Z:" + ExePath;
    std::replace(ExePath.begin(), ExePath.end(), '/', '\\');

    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    Folder = std::string(temp) + "morvex-gui-" + std::to_string(GetCurrentProcessId()) + "\\";
    std::filesystem::create_directories(Folder + "start");
    std::filesystem::create_directories(Folder + "patches");
    std::ofstream(Folder + "demo.exe", std::ios::binary) << DemoOriginal;
    std::ofstream(Folder + "demo.new", std::ios::binary) << DemoModified;
    std::ofstream(Folder + "short.new", std::ios::binary) << DemoModified.substr(0, 3);

    Run("controls and accelerators", ControlsAndAccelerators);
    Run("make patch refusals", Refusals);
    Run("patch from start to end, then twice more", WholeRoad);
    Run("browse", Browse);
    Run("about", About);
    Run("patch named as the original", PatchOverOriginal);
    Run("exit question", ExitQuestion);
    Run("mnemonics", Mnemonics);

    std::error_code ignored;
    std::filesystem::remove_all(Folder, ignored);
    printf("%d passed, %d failed\n", Passed, Failed);
    return Failed ? 1 : 0;
}
