// The questions before an apply, answered by the recorder, and an apply
// that Cancel does not stop once it writes.
#include "apply_session.h"

#include <filesystem>

void Questions()
{
    const std::string other = Asked("This patch is for GAME.EXE, but the file's name gives OTHER.EXE. Apply it anyway?", "other.exe");
    const std::string replace = Asked("Replace the existing undo patch fix-undo.ov?", "game.exe", "?");
    const std::string withoutUndo = Asked("Apply without an undo patch?", "game.exe", "?");
    const std::string elsewhere = Asked("The file to patch is not in the patch's folder. Apply the patch to it?", "a\\game.exe");
    const struct {
        const char *file, *bytes;
        bool keepUndo;
        const char* oldUndo;
        std::vector<std::string> answers;
        std::string boxes, after, undo, box; // box: the information box at the last message, when given
    } rows[] = {
        {"other.exe", "0123", true, NULL, {"no"}, other, "0123", "(none)", ""},
        {"other.exe", "0123", false, NULL, {"yes"}, other + "Patch applied to other.exe. i|", "0A2B", "(none)", ""},
        {"game.exe", "0A23", true, NULL, {"no"}, Asked("1 of 2 bytes already hold their new value. Apply the rest?", "game.exe"),
         "0A23", "(none)", ""},
        {"a\\game.exe", "0123", true, NULL, {"no"}, elsewhere, "0123", "(none)", ""},
        {"game.exe", "0123", true, "old", {"no", "no"}, replace + withoutUndo + "Not applied: nothing was changed. i|", "0123",
         "old", ""},
        {"game.exe", "0123", true, "old", {"no", "yes"}, replace + withoutUndo + "Patch applied to game.exe. i|", "0A2B", "old",
         Head + "Already applied: nothing to do."},
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
            Expect(BoxAtLast, row.box, what + ": box at the last message");
    }
}

// Cancel pressed during an apply in place: it takes milliseconds, and once
// the file is being written it finishes, with its undo patch and nothing
// else left (a cancel before the first write is the unit tests').
void Cancel()
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
           Asked("Replace the existing undo patch fix-undo.ov?", "big\\game.exe", "?")
               + "Patch applied to game.exe.\r\nUndo patch: fix-undo.ov i|" + std::string("\0A\0B", 4)
               + std::string("GAME.EXE\0\0\0\0\0\x02\0\x01\0\0\0\x01\0\x03\0\0\0\x01\0", 27) + "undoes fix.ov in 3",
           "cancelled");
    DeleteFileA((Here + "big\\game.exe").c_str());
}

