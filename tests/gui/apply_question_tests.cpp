// The questions before an apply, answered by the recorder, and an apply in
// place that a terminated applier left unfinished.
#include "apply_session.h"

#include "journal.h"

void Questions()
{
    const std::string other = Asked("This patch is for GAME.EXE, but the file's name gives OTHER.EXE. Apply it anyway?", "other.exe");
    const std::string replace = Asked("Replace the existing undo patch fix-undo.ov?", "game.exe", "?");
    const std::string withoutUndo = Asked("Apply without an undo patch?", "game.exe", "?");
    const struct {
        const char *file, *bytes;
        bool keepUndo;
        const char* oldUndo;
        std::vector<std::string> answers;
        std::string boxes, after, undo, box; // box: the information box at the last message, when given
    } rows[] = {
        {"other.exe", "0123", false, NULL, {"yes"}, other + "Patch applied to other.exe. i|", "0A2B", "(none)", ""},
        {"a\\game.exe", "0A23", true, NULL, {"yes", "no"},
         Asked("The file to patch is not in the patch's folder. Apply the patch to it?", "a\\game.exe")
             + Asked("1 of 2 bytes already hold their new value. Apply the rest?", "a\\game.exe"),
         "0A23", "(none)", ""},
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

// An apply in place stopped after its journal and one of its writes: the box
// tells of it, and Apply finishes it with the undo patch it asked for.
void Interrupted()
{
    static Journal journal;
    static unsigned char bytes[MAX_JOURNAL_SIZE];
    const std::string file = Here + "cut\\game.exe";
    CreateDirectoryA((Here + "cut").c_str(), NULL);
    Write("cut\\fix.ov", Patch);
    Write("cut\\game.exe", "0A23");
    HANDLE handle = CreateFileA(file.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING, 0, NULL);
    BY_HANDLE_FILE_INFORMATION status;
    GetFileInformationByHandle(handle, &status);
    CloseHandle(handle);
    journal.volume = status.dwVolumeSerialNumber;
    journal.index = static_cast<unsigned long long>(status.nFileIndexHigh) << 32 | status.nFileIndexLow;
    journal.size = 4;
    memcpy(journal.name.bytes, Patch.data(), TARGET_NAME_SIZE);
    journal.count = 2;
    journal.records[0] = {1, '1', 'A'};
    journal.records[1] = {3, '3', 'B'};
    strcpy(journal.comment, "undoes fix.ov");
    strcpy(journal.patchPath, (Here + "cut\\fix.ov").c_str());
    strcpy(journal.undoPath, (Here + "cut\\fix-undo.ov").c_str());
    Write("cut\\game.exe.morvex-journal", std::string(reinterpret_cast<char*>(bytes), EncodeJournal(journal, bytes)));
    Fill("cut\\game.exe", "cut\\fix.ov");
    std::string box = Field(IDC_APPLY_INFO);
    CheckDlgButton(Dialog, IDC_APPLY_KEEP_UNDO, BST_CHECKED);
    Boxes.clear();
    Answers = {"yes", "yes"};
    Send(WM_COMMAND, IDC_APPLY_APPLY);
    Expect(box.substr(box.rfind("\r\n") + 2) + "|" + Boxes.substr(Boxes.rfind("game.exe: an")),
           "game.exe: an apply of fix.ov was interrupted; apply it again to finish it|game.exe: an interrupted apply of "
           "fix.ov was finished\r\nPatch applied to game.exe.\r\nUndo patch: fix-undo.ov i|", "interrupted");
}
