#include "apply_dialog.h"

#include "apply_state.h"
#include "resource.h"

#include <cstdio>

// Yes/No with the warning icon, No the default.
static int Agrees(HWND window, const char* question, UINT icon)
{
    return ShowMessageBox(window, question, ProgramName, MB_YESNO | icon | MB_DEFBUTTON2) == IDYES;
}

void ApplyChosenPatch(HWND window)
{
    static char question[TEXT_BUFFER_SIZE * 2], undoPath[TEXT_BUFFER_SIZE * 2], done[TEXT_BUFFER_SIZE * 3];
    // The files may have changed since the box was filled: judge them again.
    if (!RefreshVerdict(window))
        return;
    if (NameQuestion(Patch, ChosenFile, question, sizeof question) && !Agrees(window, question, MB_ICONWARNING))
        return;
    if (Fit.state == FIT_PARTLY_APPLIED) {
        PartlyQuestion(Patch, Fit, question, sizeof question);
        if (!Agrees(window, question, MB_ICONWARNING))
            return;
    }
    int keepUndo = IsDlgButtonChecked(window, IDC_APPLY_KEEP_UNDO) == BST_CHECKED;
    if (keepUndo) {
        if (!UndoPatchPath(ChosenPatch, ChosenFile, undoPath, sizeof undoPath)) {
            Problem problem;
            Refuse(&problem, ChosenFile, "no room for the undo patch's name beside it");
            ShowProblem(window, problem);
            return;
        }
        if (GetFileAttributesA(undoPath) != INVALID_FILE_ATTRIBUTES) {
            ReplaceUndoQuestion(undoPath, question, sizeof question);
            if (!Agrees(window, question, MB_ICONQUESTION))
                return;
        }
    }
    HCURSOR arrow = SetCursor(LoadCursor(NULL, IDC_WAIT));
    Problem problem;
    int applied = ApplyPatch(ChosenPatch, ChosenFile, NULL, keepUndo ? undoPath : NULL, 1, 1, NULL, &Fit, &problem);
    SetCursor(arrow);
    if (!applied) {
        ShowProblem(window, problem);
    } else {
        AppliedText(ChosenFile, keepUndo ? undoPath : NULL, done, sizeof done);
        ShowMessageBox(window, done, ProgramName, MB_ICONINFORMATION | MB_OK);
        if (Fit.noted)
            ShowProblem(window, problem);
    }
    RefreshVerdict(window);
}
