// The apply dialog hosted in-process: files in each state against one patch,
// the information box and Apply's state they give, the questions answered by
// a recorder in place of the message box, the file found beside the patch
// and following it, a drop of a patch and a file, and a long apply cancelled.
// The dialog works on a thread of its own: each step waits for it.

#include "apply_dialog.h"
#include "gui_checks.h"
#include "morvex_version.h"
#include "resource.h"
#include "win_shared.h"

#include <filesystem>

static HWND Dialog;
static std::string Here; // ends with a backslash
static std::string Boxes; // each ended by '|'
static std::vector<std::string> Answers;

static const char* const Icons[] = {"", " x", " ?", " !", " i", "", "", ""};

static int WINAPI RecordBox(HWND owner, LPCSTR text, LPCSTR caption, UINT type)
{
    Boxes += std::string(text) + (owner == Dialog && strcmp(caption, "Morvex") == 0 ? "" : " (unowned)")
             + (type & MB_DEFBUTTON2 ? " [No]" : "") + Icons[(type & MB_ICONMASK) >> 4] + "|";
    if (Answers.empty())
        return IDOK;
    int answer = Answers.front() == "yes" ? IDYES : IDNO;
    Answers.erase(Answers.begin());
    return answer;
}

static void Write(const std::string& name, const std::string& bytes)
{
    std::ofstream(Here + name, std::ios::binary) << bytes;
}

// Runs the dialog's messages until `done`, by default until its work has ended
// (Cancel is enabled while work runs, seen or not).
static void Settle(bool (*done)() = [] { return !IsWindowEnabled(GetDlgItem(Dialog, IDC_APPLY_CANCEL)); })
{
    for (int waited = 0; !done() && waited < 30000; waited += 10) {
        MsgWaitForMultipleObjects(0, NULL, FALSE, 10, QS_ALLINPUT);
        for (MSG message; PeekMessageA(&message, NULL, 0, 0, PM_REMOVE);)
            DispatchMessageA(&message);
    }
}

static void Send(UINT message, WPARAM wParam)
{
    SendMessageA(Dialog, message, wParam, 0);
    Settle();
}

static std::string Field(int id)
{
    char text[4096];
    GetDlgItemTextA(Dialog, id, text, sizeof text);
    return text;
}

static void Type(int field, const std::string& text)
{
    SetDlgItemTextA(Dialog, field, text.c_str());
    Settle();
}

static void Fill(const std::string& file, const std::string& patch)
{
    Type(IDC_APPLY_PATCH_PATH, "");
    Type(IDC_APPLY_FILE_PATH, file.empty() ? "" : Here + file);
    Type(IDC_APPLY_PATCH_PATH, Here + patch);
}

static const std::string Patch = std::string("GAME.EXE\0\0\0\0\0\x02\x00", 15) + std::string("\x01\0\0\0\x01" "A", 6)
                                 + std::string("\x03\0\0\0\x01" "B", 6) + "hi\n";
static const std::string Head = "Target: GAME.EXE\r\nRecords: 2\r\nComment: hi\\x0A\r\n";
static const std::string Undo = std::string("GAME.EXE\0\0\0\0\0\x02\x00", 15) + std::string("\x01\0\0\0\x01" "1", 6)
                                + std::string("\x03\0\0\0\x01" "3", 6) + "undoes fix.ov";

static void States()
{
    const struct {
        const char *file, *bytes;
        std::string box; // ending in ':', only its start
        bool enabled;
    } rows[] = {
        {"game.exe", "0123", Head + "Not applied: 2 bytes will change.", true},
        {"game.exe", "0A23", Head + "Partly applied: 1 of 2 bytes already hold their new value.", true},
        {"game.exe", "0A2B", Head + "Already applied: nothing to do.", false},
        {"game.exe", "0", Head + "Offset 0x00000003 is past the end of this file (1 byte).", false},
        {"other.exe", "0123", Head + "Not applied: 2 bytes will change.\r\n"
                                     "Warning: this patch is for GAME.EXE; this file's name gives OTHER.EXE.", true},
        {"gone\\game.exe", NULL, Head + Here + "gone\\game.exe: cannot be opened as a file:", false},
    };
    Write("fix.ov", Patch);
    for (const auto& row : rows) {
        DeleteFileA((Here + row.file).c_str());
        if (row.bytes)
            Write(row.file, row.bytes);
        Fill(row.file, "fix.ov");
        bool enabled = IsWindowEnabled(GetDlgItem(Dialog, IDC_APPLY_APPLY));
        std::string what = std::string(row.file) + " " + (row.bytes ? row.bytes : "");
        Expect(Field(IDC_APPLY_INFO), row.box, what);
        Expect(enabled ? "Apply enabled" : "Apply disabled", row.enabled ? "Apply enabled" : "Apply disabled", what);
    }
    Expect(Boxes, "", "no message box while the box is filled");
}

static void Texts()
{
    const struct {
        std::string patch, box;
    } rows[] = {
        {"GAME.EXE", "Not a patch: " + Here + "text.ov is not a patch file: shorter than the 15-byte header"},
        {std::string(15, '\0'), "Target: (none)\r\nRecords: 0\r\nComment: "},
        {std::string("GA\x01ME.EXE\0\0\0\0\0\0", 15), "Target: GA\\x01ME.EXE\r\nRecords: 0\r\nComment: "},
    };
    for (const auto& row : rows) {
        Write("text.ov", row.patch);
        Fill("", "text.ov");
        Expect(Field(IDC_APPLY_INFO), row.box, "the box for " + row.box);
    }
    Boxes.clear();
    Send(WM_SYSCOMMAND, IDM_APPLY_ABOUT);
    Expect(Boxes, "Morvex Apply\r\nApplies Morvex patches, version " MORVEX_VERSION_TEXT "\r\n\r\n" MORVEX_COPYRIGHT_TEXT
                  "\r\nFree software under the MIT License: see LICENSE.txt. i|", "About");
}

// A file another program holds is judged again when the window is activated.
static void Activation()
{
    Write("game.exe", "0123");
    HANDLE held = CreateFileA((Here + "game.exe").c_str(), GENERIC_READ, 0, NULL, OPEN_EXISTING, 0, NULL);
    Fill("game.exe", "fix.ov");
    CloseHandle(held);
    Send(WM_ACTIVATE, WA_ACTIVE);
    Expect(Field(IDC_APPLY_INFO), Head + "Not applied: 2 bytes will change.", "judged again on activation");
}

static void Finding()
{
    const struct {
        std::vector<std::string> files;
        std::string found, box;
    } rows[] = {
        {{"longfilename.exe", "longfi.exe"}, "longfilename.exe", ""},
        {{"longfilename.exe", "longfiXXXX.exe"}, "",
         "\r\n2 files beside the patch could be LONGFI~1.EXE: choose the one to patch under \"File to patch:\"."},
    };
    std::string top = Here;
    int n = 0;
    for (const auto& row : rows) {
        Here = top + "find" + std::to_string(n++) + "\\";
        CreateDirectoryA(Here.c_str(), NULL);
        for (const std::string& file : row.files)
            Write(file, "0123");
        Write("fix.ov", std::string("LONGFI~1.EXE\0\0\0", 15));
        Fill("", "fix.ov");
        Expect(Field(IDC_APPLY_FILE_PATH), row.found.empty() ? "" : Here + row.found, "found in " + Here);
        if (!row.box.empty())
            Expect(Field(IDC_APPLY_INFO), "Target: LONGFI~1.EXE\r\nRecords: 0\r\nComment: " + row.box, "two found");
    }
    SetCurrentDirectoryA((top + "find0").c_str()); // a patch named from the current folder
    Type(IDC_APPLY_FILE_PATH, "");
    Type(IDC_APPLY_PATCH_PATH, "fix.ov");
    Expect(Field(IDC_APPLY_FILE_PATH), "longfilename.exe", "found beside fix.ov");
    Here = top;
}

// A file found beside one patch follows the next; one the user typed stays.
static void Following()
{
    const struct {
        const char *patch, *typed, *file;
    } rows[] = {
        {"a\\fix.ov", NULL, "a\\game.exe"},
        {"b\\fix.ov", NULL, "b\\game.exe"},
        {NULL, "a\\game.exe", "a\\game.exe"},
        {"b\\fix2.ov", NULL, "a\\game.exe"},
        {NULL, "", "b\\game.exe"},
    };
    for (const char* folder : {"a", "b"}) {
        CreateDirectoryA((Here + folder).c_str(), NULL);
        for (const char* name : {"\\game.exe", "\\fix.ov", "\\fix2.ov"})
            Write(folder + std::string(name), name[1] == 'g' ? "0123" : Patch);
    }
    for (const auto& row : rows) {
        if (row.typed)
            Type(IDC_APPLY_FILE_PATH, row.typed[0] ? Here + row.typed : "");
        else
            Type(IDC_APPLY_PATCH_PATH, Here + row.patch);
        Expect(Field(IDC_APPLY_FILE_PATH), Here + row.file, std::string("after ") + (row.patch ? row.patch : "typing"));
    }
}

// A question before writing, as recorded: it names the file to patch in full.
static std::string Asked(const std::string& question, const std::string& file, const char* icon = "!")
{
    return question + "\r\n\r\nFile to patch: " + Here + file + " [No] " + icon + "|";
}

static void Questions()
{
    const std::string other = Asked("This patch is for GAME.EXE, but the file's name gives OTHER.EXE. Apply it anyway?", "other.exe");
    const std::string replace = Asked("Replace the existing undo patch fix-undo.ov?", "game.exe", "?");
    const std::string elsewhere = Asked("The file to patch is not in the patch's folder. Apply the patch to it?", "a\\game.exe");
    const struct {
        const char *file, *bytes;
        bool keepUndo;
        const char* oldUndo;
        std::vector<std::string> answers;
        std::string boxes, after, undo, box;
    } rows[] = {
        {"other.exe", "0123", true, NULL, {"no"}, other, "0123", "(none)", ""},
        {"other.exe", "0123", false, NULL, {"yes"}, other + "Patch applied to other.exe. i|", "0A2B", "(none)", ""},
        {"game.exe", "0A23", true, NULL, {"no"}, Asked("1 of 2 bytes already hold their new value. Apply the rest?", "game.exe"),
         "0A23", "(none)", ""},
        {"a\\game.exe", "0123", true, NULL, {"no"}, elsewhere, "0123", "(none)", ""},
        {"game.exe", "0123", true, "old", {"no"}, replace, "0123", "old", ""},
        {"game.exe", "0123", true, "old", {"yes"}, replace + "Patch applied to game.exe.\r\nUndo patch: fix-undo.ov i|", "0A2B", Undo,
         Head + "Already applied: nothing to do."},
    };
    for (const auto& row : rows) {
        Write(row.file, row.bytes);
        DeleteFileA((Here + "fix-undo.ov").c_str());
        if (row.oldUndo)
            Write("fix-undo.ov", row.oldUndo);
        Fill(row.file, "fix.ov");
        CheckDlgButton(Dialog, IDC_APPLY_KEEP_UNDO, row.keepUndo ? BST_CHECKED : BST_UNCHECKED);
        Boxes.clear();
        Answers = row.answers;
        Send(WM_COMMAND, IDC_APPLY_APPLY);
        std::string what = std::string(row.file) + " " + row.bytes + " answered " + row.answers[0];
        Expect(Boxes, row.boxes, what + ": messages");
        Expect(ReadFile(Here + row.file) + "|" + ReadFile(Here + "fix-undo.ov"), std::string(row.after) + "|" + row.undo, what + ": files");
        if (!row.box.empty())
            Expect(Field(IDC_APPLY_INFO), row.box, what + ": box afterwards");
    }
}

// Cancel during a long apply leaves the file, the old undo patch and the folder as they were.
static void Cancel()
{
    CreateDirectoryA((Here + "big").c_str(), NULL);
    Write("big\\fix.ov", Patch);
    Write("big\\fix-undo.ov", "old");
    HANDLE file = CreateFileA((Here + "big\\game.exe").c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    SetFilePointer(file, 1 << 30, NULL, FILE_BEGIN); // 1 GiB of zeros, sparse
    SetEndOfFile(file);
    CloseHandle(file);
    Fill("big\\game.exe", "big\\fix.ov");
    Boxes.clear();
    Answers = {"yes"};
    SendMessageA(Dialog, WM_COMMAND, IDC_APPLY_APPLY, 0);
    Settle([] { return SendDlgItemMessageA(Dialog, IDC_APPLY_PROGRESS, PBM_GETPOS, 0, 0) > 0; });
    Send(WM_COMMAND, IDC_APPLY_CANCEL);
    char head[4] = {1, 1, 1, 1};
    std::ifstream(Here + "big\\game.exe", std::ios::binary).read(head, 4);
    auto files = std::distance(std::filesystem::directory_iterator(Here + "big"), {});
    Expect(Boxes + std::string(head, 4) + ReadFile(Here + "big\\fix-undo.ov") + " in " + std::to_string(files),
           Asked("Replace the existing undo patch fix-undo.ov?", "big\\game.exe", "?") + std::string(4, '\0') + "old in 3",
           "cancelled");
    DeleteFileA((Here + "big\\game.exe").c_str());
}

// A drop of a file and a patch, anywhere on the dialog.
static void Drop()
{
    HGLOBAL memory = ShellDrop({0, 0}, {Here + "game.exe", Here + "fix.ov"});
    Type(IDC_APPLY_PATCH_PATH, "");
    Type(IDC_APPLY_FILE_PATH, "");
    Send(WM_DROPFILES, reinterpret_cast<WPARAM>(memory));
    Expect(Field(IDC_APPLY_PATCH_PATH) + "|" + Field(IDC_APPLY_FILE_PATH), Here + "fix.ov|" + Here + "game.exe",
           "drop of a file and a patch");
}

int main()
{
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    Here = std::string(temp) + "morvex-apply-tests-" + std::to_string(GetCurrentProcessId()) + "\\";
    CreateDirectoryA(Here.c_str(), NULL);
    ShowMessageBox = RecordBox;
    Expect(std::to_string(WinMain(GetModuleHandleA("kernel32.dll"), NULL, NULL, 0)) + " " + Boxes,
           "1 The main window could not be opened! x|", "start-up without its dialog");
    Dialog = CreateDialogParamA(GetModuleHandleA(NULL), "APPLY", NULL, ApplyDialogProc, 0);
    Expect(IsWindowEnabled(GetDlgItem(Dialog, IDC_APPLY_APPLY)) ? "Apply enabled" : "Apply disabled", "Apply disabled",
           "at the start"), Boxes.clear();
    States();
    Texts();
    Activation();
    Finding();
    Following();
    Questions();
    Cancel();
    Drop();
    printf("%d failed\n", Failed);
    return Failed ? 1 : 0;
}
