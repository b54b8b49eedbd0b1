// The main dialog hosted in-process. Each command row fills the fields, sends
// one command and answers the windows it opens (message boxes, the comment
// dialog, the platform's file dialogs) from a list, from a timer; the windows
// seen, the fields and the patch written are compared.
// Drops are handed to the dialog as the shell builds them: an HDROP is memory
// of the process that receives it.

#include "app_state.h"
#include "dialogs.h"
#include "gui_checks.h"
#include "resource.h"

#include <set>

enum { MESSAGE_TEXT = 0xFFFF, FILE_NAME_BOX = 0x47C };

static HWND Main;
static std::string Here; // ends with a backslash
static std::string Seen;
static std::vector<std::string> Answers;
static std::set<HWND> Answered;

// A message box by its text (and " [No]" when No has the focus, which makes it
// the default), the comment dialog by its field, a file dialog by its title
// and the name it offers.
static std::string Describe(HWND window)
{
    if (GetDlgItem(window, IDC_COMMENT_TEXT))
        return "comment";
    if (HWND name = GetDlgItem(window, FILE_NAME_BOX))
        return Text(window) + " (" + Text(name) + ")";
    return Text(GetDlgItem(window, MESSAGE_TEXT)) + (GetFocus() == GetDlgItem(window, IDNO) ? " [No]" : "");
}

// The comment dialog holds on: Escape, the close box and every command of the
// main dialog leave it open, and open nothing else.
static void HoldOn(HWND window)
{
    PostMessageA(window, WM_COMMAND, IDCANCEL, 0);
    PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0);
    for (int id : {IDC_MAKE_PATCH, IDC_BROWSE_ORIGINAL, IDC_BROWSE_MODIFIED, IDC_ABOUT, IDC_EXIT, IDCANCEL})
        PostMessageA(Main, WM_COMMAND, id, 0);
}

// Answers with the next of Answers: "ok", "yes", "no", "cancel", "comment:TEXT"
// (pasted), "file:NAME" (a name in Here). Without one, OK.
static void Answer(HWND window)
{
    std::string answer = Answers.empty() ? "" : Answers.front();
    if (!Answers.empty())
        Answers.erase(Answers.begin());
    Seen += (Seen.empty() ? "" : "; ") + Describe(window);
    int button = IDOK;
    if (HWND comment = GetDlgItem(window, IDC_COMMENT_TEXT)) {
        HoldOn(window);
        if (answer.compare(0, 8, "comment:") == 0)
            SendMessageA(comment, EM_REPLACESEL, 0, LPARAM(answer.c_str() + 8));
        if (GetWindowTextLengthA(comment) > 255) // as typing would, a paste stops at the limit
            Seen += " (over 255 characters)";
        button = IDC_COMMENT_OK;
    } else if (answer.compare(0, 5, "file:") == 0) {
        SetDlgItemTextA(window, FILE_NAME_BOX, (Here + answer.substr(5)).c_str());
    } else {
        button = answer == "yes" ? IDYES : answer == "no" ? IDNO : answer == "cancel" ? IDCANCEL : IDOK;
    }
    PostMessageA(window, WM_COMMAND, button, 0);
}

// Each window the dialog opens is answered once it is up and active, from a
// timer that the open window's message loop runs.
static void CALLBACK AnswerActive(HWND, UINT, UINT_PTR, DWORD)
{
    HWND window = GetActiveWindow();
    if (window && window != Main && Answered.insert(window).second)
        Answer(window);
}

static std::string Field(int id)
{
    char text[TEXT_BUFFER_SIZE];
    GetDlgItemTextA(Main, id, text, sizeof text);
    return text;
}

static void Commands()
{
    const std::string demoPatch("DEMO.EXE\0\0\0\0\0\x02\x00\x01\x00\x00\x00\x01\xAA\x03\x00\x00\x00\x01\xBB", 27);
    const std::string longComment(300, 'c'), quoted = " \"" + Here + "demo.exe\" ";
    const std::string overwrite = "File already exists.\nDo you want to replace it?";
    const std::string lost = "The target name and the comment hold characters code page 1252 cannot store; they are written as '?'";
    const std::string onInput = "The patch can't be written over one of the files being compared!";
    const struct {
        std::string original, modified;
        int command;
        std::vector<std::string> answers;
        std::string seen, fields, patch;
    } rows[] = {
        {"", "", IDC_MAKE_PATCH, {}, "You must select the unmodified file first!", "|", "(none)"},
        // Paths pasted in quotes and blanks are taken as the path inside.
        {quoted, Here + "demo.new", IDC_MAKE_PATCH, {"comment:hi", "file:first.ov", "ok"},
         "comment; Select name for patch (); Patch Complete!", quoted + "|" + Here + "demo.new", demoPatch + "hi"},
        // The save dialog offers the last patch; cancelling it writes nothing.
        {Here + "demo.exe", Here + "demo.new", IDC_MAKE_PATCH, {"comment:x", "cancel"},
         "comment; Select name for patch (first.ov)", "", demoPatch + "hi"},
        // What code page 1252 cannot store is said once, before the patch is named.
        {Here + "игра.exe", Here + "demo.new", IDC_MAKE_PATCH, {"comment:日本語", "ok", "file:first.ov", "yes", "ok"},
         "comment; " + lost + "; Select name for patch (first.ov); " + overwrite + "; Patch Complete!", "",
         "????.EXE" + demoPatch.substr(8) + "???"},
        // A pasted comment stops at 255 characters; a builder failure gives two boxes.
        {Here + "demo.exe", Here + "demo.new", IDC_MAKE_PATCH, {"comment:" + longComment, "file:demo.exe", "yes", "ok", "ok"},
         "comment; Select name for patch (first.ov); " + overwrite + "; " + onInput + "; Error writing patch!", "",
         "????.EXE" + demoPatch.substr(8) + "???"},
        // Typed text gives way to the buffer's when the dialog is cancelled.
        {"typed", "", IDC_BROWSE_MODIFIED, {"cancel"}, "Select modified file (demo.new)", "typed|" + Here + "demo.new", ""},
        // Enter off a button asks to quit, No the default.
        {"one", "two", IDOK, {"no"}, "Do you really want to quit? [No]", "one|two", ""},
    };
    for (const auto& row : rows) {
        SetDlgItemTextA(Main, IDC_ORIGINAL_PATH, row.original.c_str());
        SetDlgItemTextA(Main, IDC_MODIFIED_PATH, row.modified.c_str());
        Seen.clear();
        Answers = row.answers;
        SendMessageA(Main, WM_COMMAND, row.command, 0);
        std::string what = "command " + std::to_string(row.command) + " on \"" + row.original + "\"";
        Expect(Seen, row.seen, what);
        if (!row.fields.empty())
            Expect(Field(IDC_ORIGINAL_PATH) + "|" + Field(IDC_MODIFIED_PATH), row.fields, what + ": fields");
        if (!row.patch.empty())
            Expect(ReadFile(Here + "first.ov") + (ReadFile(Here + "demo.exe").size() == 4 ? "" : " (demo.exe replaced)"), row.patch, what + ": patch");
    }
}

static POINT CentreOf(int id)
{
    RECT area;
    GetWindowRect(GetDlgItem(Main, id), &area);
    MapWindowPoints(NULL, Main, reinterpret_cast<POINT*>(&area), 2);
    return {(area.left + area.right) / 2, (area.top + area.bottom) / 2};
}

// One file goes to the row it is dropped on, else to the first empty field;
// each field's text, then its buffer's, after each drop.
static void Drops()
{
    const std::string a = "C:\\in\\a.exe", b = "C:\\in\\b.exe", tooLong(TEXT_BUFFER_SIZE, 'x');
    const struct {
        int id;
        std::string original, modified;
        std::vector<std::string> files;
        bool subDialogOpen;
        std::string expected;
    } drops[] = {
        {IDC_ORIGINAL_PATH, "x", "", {a}, false, a + "|" + a + "||"},
        {IDC_ABOUT, "x", "", {a}, false, "x|x|" + a + "|" + a},
        {IDC_MODIFIED_PATH, "", "", {b, a, "C:\\third"}, false, b + "|" + b + "|" + a + "|" + a},
        {IDC_ORIGINAL_PATH, "x", "y", {a}, true, "x|x|y|y"},
        {IDC_ORIGINAL_PATH, "x", "y", {tooLong}, false, "x|x|y|y"},
    };
    for (const auto& row : drops) {
        strcpy(OriginalPath, row.original.c_str());
        strcpy(ModifiedPath, row.modified.c_str());
        SetDlgItemTextA(Main, IDC_ORIGINAL_PATH, OriginalPath);
        SetDlgItemTextA(Main, IDC_MODIFIED_PATH, ModifiedPath);
        OpenSubDialog = row.subDialogOpen ? Main : NULL;
        HGLOBAL drop = ShellDrop(CentreOf(row.id), row.files);
        SendMessageA(Main, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
        std::string got = Field(IDC_ORIGINAL_PATH) + "|" + OriginalPath + "|" + Field(IDC_MODIFIED_PATH) + "|"
                          + ModifiedPath + (GlobalSize(drop) ? " (drop not finished)" : "");
        Expect(got, row.expected, "drop of " + std::to_string(row.files.size()) + " file(s) on " + std::to_string(row.id));
    }
}

int main()
{
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    Here = std::string(folder) + "morvex dialog " + std::to_string(GetCurrentProcessId()) + "\\";
    CreateDirectoryA(Here.c_str(), NULL);
    SetCurrentDirectoryA(Here.c_str());
    std::ofstream("demo.exe", std::ios::binary) << std::string("\x00\x11\x22\x33", 4);
    std::ofstream("demo.new", std::ios::binary) << std::string("\x00\xAA\x22\xBB", 4);
    std::ofstream("игра.exe", std::ios::binary) << std::string("\x00\x11\x22\x33", 4);

    InstanceHandle = GetModuleHandleA(NULL);
    SetTimer(NULL, 0, 10, AnswerActive);
    // Where the window class cannot be registered, the start-up's one box, then 0.
    WNDCLASSA taken = {};
    taken.lpfnWndProc = DefWindowProcA, taken.hInstance = InstanceHandle, taken.lpszClassName = "Morvex";
    RegisterClassA(&taken);
    Expect(std::to_string(WinMain(InstanceHandle, NULL, NULL, SW_SHOW)) + " " + Seen, "0 This program requires Windows 98!",
           "start-up without its window class");
    UnregisterClassA("Morvex", InstanceHandle);
    Seen.clear();
    Main = CreateDialogParamA(InstanceHandle, "PATCH", NULL, MainDialogProc, 0);
    ShowWindow(Main, SW_SHOW);
    Drops();
    Commands();
    for (const char* name : {"demo.exe", "demo.new", "first.ov", "игра.exe"})
        DeleteFileA((Here + name).c_str());
    SetCurrentDirectoryA(folder);
    RemoveDirectoryA(Here.c_str());
    printf("%d failed\n", Failed);
    return Failed ? 1 : 0;
}
