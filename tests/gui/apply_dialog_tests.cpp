// The apply dialog hosted in-process: files in each state against one patch,
// the information box and Apply's state they give, the questions answered by
// a recorder in place of the message box, the file found beside the patch,
// and a drop of a patch and a file.

#include "apply_dialog.h"
#include "gui_checks.h"
#include "resource.h"
#include "win_shared.h"

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

static std::string Field(int id)
{
    char text[4096];
    GetDlgItemTextA(Dialog, id, text, sizeof text);
    return text;
}

static void Fill(const std::string& file, const std::string& patch)
{
    SetDlgItemTextA(Dialog, IDC_APPLY_PATCH_PATH, "");
    SetDlgItemTextA(Dialog, IDC_APPLY_FILE_PATH, file.empty() ? "" : (Here + file).c_str());
    SetDlgItemTextA(Dialog, IDC_APPLY_PATCH_PATH, (Here + patch).c_str());
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
    Write("bad.ov", "GAME.EXE");
    Fill("game.exe", "bad.ov");
    Expect(Field(IDC_APPLY_INFO), "Not a patch: shorter than the 15-byte header", "bad.ov");
    Expect(Boxes, "", "no message box while the box is filled");
}

static void Finding()
{
    const struct {
        std::vector<std::string> files;
        std::string found;
    } rows[] = {
        {{"longfilename.exe", "longfi.exe"}, "longfilename.exe"},
        {{"longfilename.exe", "longfiXXXX.exe"}, ""},
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
    }
    SetCurrentDirectoryA((top + "find0").c_str()); // a patch named from the current folder
    SetDlgItemTextA(Dialog, IDC_APPLY_FILE_PATH, "");
    SetDlgItemTextA(Dialog, IDC_APPLY_PATCH_PATH, "fix.ov");
    Expect(Field(IDC_APPLY_FILE_PATH), "longfilename.exe", "found beside fix.ov");
    Here = top;
}

static void Questions()
{
    const std::string other = "This patch is for GAME.EXE, but the file's name gives OTHER.EXE. Apply it anyway? [No] !|";
    const std::string replace = "Replace the existing undo patch fix-undo.ov? [No] ?|";
    const struct {
        const char *file, *bytes;
        bool keepUndo;
        const char* oldUndo;
        std::vector<std::string> answers;
        std::string boxes, after, undo, box;
    } rows[] = {
        {"other.exe", "0123", true, NULL, {"no"}, other, "0123", "(none)", ""},
        {"other.exe", "0123", false, NULL, {"yes"}, other + "Patch applied to other.exe. i|", "0A2B", "(none)", ""},
        {"game.exe", "0A23", true, NULL, {"no"}, "1 of 2 bytes already hold their new value. Apply the rest? [No] !|", "0A23", "(none)", ""},
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
        SendMessageA(Dialog, WM_COMMAND, IDC_APPLY_APPLY, 0);
        std::string what = std::string(row.file) + " " + row.bytes + " answered " + row.answers[0];
        Expect(Boxes, row.boxes, what + ": messages");
        Expect(ReadFile(Here + row.file) + "|" + ReadFile(Here + "fix-undo.ov"), std::string(row.after) + "|" + row.undo, what + ": files");
        if (!row.box.empty())
            Expect(Field(IDC_APPLY_INFO), row.box, what + ": box afterwards");
    }
}

// A drop of a file and a patch, anywhere on the dialog.
static void Drop()
{
    HGLOBAL memory = ShellDrop({0, 0}, {Here + "game.exe", Here + "fix.ov"});
    SetDlgItemTextA(Dialog, IDC_APPLY_PATCH_PATH, "");
    SetDlgItemTextA(Dialog, IDC_APPLY_FILE_PATH, "");
    SendMessageA(Dialog, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
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
    Dialog = CreateDialogParamA(GetModuleHandleA(NULL), "APPLY", NULL, ApplyDialogProc, 0);
    Expect(IsWindowEnabled(GetDlgItem(Dialog, IDC_APPLY_APPLY)) ? "Apply enabled" : "Apply disabled", "Apply disabled",
           "at the start");
    States();
    Finding();
    Questions();
    Drop();
    printf("%d failed\n", Failed);
    return Failed ? 1 : 0;
}
