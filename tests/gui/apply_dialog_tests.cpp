// The apply dialog hosted in-process: files in each state against one patch,
// the information box and Apply's state they give, the file found beside the
// patch and following it, and a drop of a patch and a file.
#include "apply_session.h"

// Apply is offered for a file it would change and can write; a file that
// cannot be written is said so only then.
static void States()
{
    const std::string unwritable = Head + "Not applied: 2 bytes will change.\r\n" + Here + "game.exe: cannot be written:";
    const struct {
        const char *file, *bytes;
        std::string box; // ending in ':', only its start
        bool enabled, readOnly;
    } rows[] = {
        {"game.exe", "0123", Head + "Not applied: 2 bytes will change.", true, false},
        {"game.exe", "0A23", Head + "Partly applied: 1 of 2 bytes already hold their new value.", true, false},
        {"game.exe", "0A2B", Head + "Already applied: nothing to do.", false, false},
        {"gone\\game.exe", NULL, Head + Here + "gone\\game.exe: cannot be opened as a file:", false, false},
        {"game.exe", "0123", unwritable + " The file is read-only", false, true},
        {"game.exe", "0A2B", Head + "Already applied: nothing to do.", false, true},
    };
    Write("fix.ov", Patch);
    for (const auto& row : rows) {
        std::string path = Here + row.file;
        DeleteFileA(path.c_str());
        if (row.bytes)
            Write(row.file, row.bytes);
        SetFileAttributesA(path.c_str(), row.readOnly ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL);
        Fill(row.file, "fix.ov");
        std::string what = std::string(row.file) + " " + (row.bytes ? row.bytes : "") + (row.readOnly ? " read-only" : "");
        Expect(Field(IDC_APPLY_INFO), row.box, what);
        Expect(IsWindowEnabled(GetDlgItem(Dialog, IDC_APPLY_APPLY)) ? "enabled" : "disabled",
               row.enabled ? "enabled" : "disabled", what + ": Apply");
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    Expect(Boxes, "", "no message box while the box is filled");
}

// A file read whole that is no patch is told apart from one not read.
static void Texts()
{
    Write("text.ov", "GAME.EXE");
    Fill("", "text.ov");
    Expect(Field(IDC_APPLY_INFO), "Not a patch: " + Here + "text.ov is not a patch file: shorter than the 15-byte header",
           "the box for text.ov");
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
        std::string target;
        std::vector<std::string> files;
        std::string found, box;
    } rows[] = {
        {"LONGFI~1.EXE", {"longfilename.exe", "longfi.exe"}, "longfilename.exe", "\r\nAlready applied: nothing to do."},
        {"LONGFI~1.EXE", {"longfilename.exe", "longfiXXXX.exe"}, "",
         "\r\n2 files beside the patch could be LONGFI~1.EXE: choose the one to patch under \"File to patch:\"."},
        {"????.EXE", {"игра.exe"}, "игра.exe",
         "\r\nAlready applied: nothing to do.\r\nThe patch's target name lost characters; check that игра.exe is the file to patch."},
    };
    std::string top = Here;
    int n = 0;
    for (const auto& row : rows) {
        Here = top + "find" + std::to_string(n++) + "\\";
        CreateDirectoryA(Here.c_str(), NULL);
        for (const std::string& file : row.files)
            Write(file, "0123");
        Write("fix.ov", (row.target + std::string(15, '\0')).substr(0, 15));
        Fill("", "fix.ov");
        Expect(Field(IDC_APPLY_FILE_PATH), row.found.empty() ? "" : Here + row.found, "found in " + Here);
        Expect(Field(IDC_APPLY_INFO), "Target: " + row.target + "\r\nRecords: 0\r\nComment: (none)" + row.box,
               "the box for " + Here);
    }
    Here = top;
}

// A file found beside one patch follows the next; one the user typed stays; a
// drop of a file and a patch, anywhere on the dialog, fills both fields.
static void Following()
{
    const struct {
        const char *patch, *typed, *file;
    } rows[] = {
        {"a\\fix.ov", NULL, "a\\game.exe"},
        {"b\\fix.ov", NULL, "b\\game.exe"},
        {NULL, "a\\game.exe", "a\\game.exe"},
        {"b\\fix2.ov", NULL, "a\\game.exe"},
    };
    for (const char* folder : {"a", "b"}) {
        CreateDirectoryA((Here + folder).c_str(), NULL);
        for (const char* name : {"\\game.exe", "\\fix.ov", "\\fix2.ov"})
            Write(folder + std::string(name), name[1] == 'g' ? "0123" : Patch);
    }
    for (const auto& row : rows) {
        if (row.typed)
            Type(IDC_APPLY_FILE_PATH, Here + row.typed);
        else
            Type(IDC_APPLY_PATCH_PATH, Here + row.patch);
        Expect(Field(IDC_APPLY_FILE_PATH), Here + row.file, std::string("after ") + (row.patch ? row.patch : "typing"));
    }
    Send(WM_DROPFILES, reinterpret_cast<WPARAM>(ShellDrop({0, 0}, {Here + "b\\game.exe", Here + "a\\fix.ov"})));
    Expect(Field(IDC_APPLY_PATCH_PATH) + "|" + Field(IDC_APPLY_FILE_PATH), Here + "a\\fix.ov|" + Here + "b\\game.exe",
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
    Boxes.clear();
    States();
    Texts();
    Activation();
    Finding();
    Following();
    Questions();
    Interrupted();
    printf("%d failed\n", Failed);
    return Failed ? 1 : 0;
}
