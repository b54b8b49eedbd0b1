// An apply in place stopped after its journal and one of its writes, as a
// terminated applier leaves it: the box tells of it, and Apply finishes it
// with the undo patch it asked for.
#include "apply_session.h"

#include "journal.h"

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
    Expect(box.substr(box.rfind("\r\n") + 2), "game.exe: an apply of fix.ov was interrupted; apply it again to finish it",
           "interrupted: the box");
    CheckDlgButton(Dialog, IDC_APPLY_KEEP_UNDO, BST_CHECKED);
    Boxes.clear();
    Answers = {"yes", "yes"};
    Send(WM_COMMAND, IDC_APPLY_APPLY);
    Expect(Boxes.substr(Boxes.rfind("game.exe: an")),
           "game.exe: an interrupted apply of fix.ov was finished\r\nPatch applied to game.exe.\r\nUndo patch: fix-undo.ov i|",
           "interrupted: the result");
    Expect(ReadFile(file) + "|" + ReadFile(Here + "cut\\fix-undo.ov") + "|"
               + (GetFileAttributesA((file + ".morvex-journal").c_str()) == INVALID_FILE_ATTRIBUTES ? "gone" : "kept"),
           "0A2B|" + Undo + "|gone", "interrupted: the files");
}
