#ifndef MORVEX_APPLY_SESSION_H
#define MORVEX_APPLY_SESSION_H

// What the apply dialog's tests share: the dialog hosted in-process, its
// message boxes answered by a recorder, the fields typed into, and one patch.
// The dialog works on a thread of its own: each step waits for it.
#include "apply_dialog.h"
#include "gui_checks.h"
#include "resource.h"
#include "win_shared.h"

inline HWND Dialog;
inline std::string Here; // ends with a backslash
inline std::string Boxes; // each ended by '|'
inline std::vector<std::string> Answers;
inline std::string BoxAtLast; // the information box when the last message box came

inline const char* const Icons[] = {"", " x", " ?", " !", " i", "", "", ""};

inline int WINAPI RecordBox(HWND owner, LPCSTR text, LPCSTR caption, UINT type)
{
    Boxes += std::string(text) + (owner == Dialog && strcmp(caption, "Morvex Apply") == 0 ? "" : " (unowned)")
             + (type & MB_DEFBUTTON2 ? " [No]" : "") + Icons[(type & MB_ICONMASK) >> 4] + "|";
    char box[4096] = "";
    GetDlgItemTextA(Dialog, IDC_APPLY_INFO, box, sizeof box);
    BoxAtLast = box;
    if (Answers.empty())
        return IDOK;
    int answer = Answers.front() == "yes" ? IDYES : IDNO;
    Answers.erase(Answers.begin());
    return answer;
}

inline void Write(const std::string& name, const std::string& bytes)
{
    std::ofstream(Here + name, std::ios::binary) << bytes;
}

// Runs the dialog's messages until its work has ended (Cancel is enabled
// while work runs, seen or not).
inline void Settle()
{
    for (int waited = 0; IsWindowEnabled(GetDlgItem(Dialog, IDC_APPLY_CANCEL)) && waited < 30000; waited += 10) {
        MsgWaitForMultipleObjects(0, NULL, FALSE, 10, QS_ALLINPUT);
        for (MSG message; PeekMessageA(&message, NULL, 0, 0, PM_REMOVE);)
            DispatchMessageA(&message);
    }
}

inline void Send(UINT message, WPARAM wParam)
{
    SendMessageA(Dialog, message, wParam, 0);
    Settle();
}

inline std::string Field(int id)
{
    char text[4096];
    GetDlgItemTextA(Dialog, id, text, sizeof text);
    return text;
}

inline void Type(int field, const std::string& text)
{
    SetDlgItemTextA(Dialog, field, text.c_str());
    Settle();
}

inline void Fill(const std::string& file, const std::string& patch)
{
    Type(IDC_APPLY_PATCH_PATH, "");
    Type(IDC_APPLY_FILE_PATH, file.empty() ? "" : Here + file);
    Type(IDC_APPLY_PATCH_PATH, Here + patch);
}

inline const std::string Patch = std::string("GAME.EXE\0\0\0\0\0\x02\x00", 15) + std::string("\x01\0\0\0\x01" "A", 6)
                                 + std::string("\x03\0\0\0\x01" "B", 6) + "hi\n";
inline const std::string Head = "Target: GAME.EXE\r\nRecords: 2\r\nComment: hi\\x0A\r\n";
inline const std::string Undo = std::string("GAME.EXE\0\0\0\0\0\x02\x00", 15) + std::string("\x01\0\0\0\x01" "1", 6)
                                + std::string("\x03\0\0\0\x01" "3", 6) + "undoes fix.ov";

// A question before writing, as recorded: it names the file to patch in full.
inline std::string Asked(const std::string& question, const std::string& file, const char* icon = "!")
{
    return question + "\r\n\r\nFile to patch: " + Here + file + " [No] " + icon + "|";
}

void Questions();
void Interrupted();

#endif
