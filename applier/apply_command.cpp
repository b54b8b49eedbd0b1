#include "apply_state.h"

#include "path_name.h"
#include "resource.h"

#include <cstdio>
#include <cstring>

// Its window's caption.
const char ProgramName[] = "Morvex Apply";
int Asking;
int ApplyAsked;

void ShowProblem(HWND window, const Problem& problem)
{
    char line[PROBLEM_TEXT_SIZE * 3 + TEXT_BUFFER_SIZE];
    ProblemLine(problem, line, sizeof line);
    Ask(window, line, MB_ICONWARNING | MB_OK);
}

int Ask(HWND window, const char* text, UINT type)
{
    MSG typed;
    while (PeekMessageA(&typed, NULL, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE))
        ;
    Asking = 1;
    int answer = ShowMessageBox(window, text, ProgramName, type);
    Asking = 0;
    return answer;
}

// The folder of `path` in full, as the system resolves it.
static void FullFolder(const char* path, char* out)
{
    char* name = NULL;
    if (!GetFullPathNameA(path, TEXT_BUFFER_SIZE, out, &name))
        snprintf(out, TEXT_BUFFER_SIZE, "%s", path);
    else if (name)
        *name = '\0';
}

// Yes/No with No the default; the question ends naming in full the file that will change.
static int Agrees(HWND window, const char* question, UINT icon)
{
    static char full[TEXT_BUFFER_SIZE], text[TEXT_BUFFER_SIZE * 4];
    if (!GetFullPathNameA(Job.filePath, sizeof full, full, NULL))
        snprintf(full, sizeof full, "%s", Job.filePath);
    snprintf(text, sizeof text, "%s\r\n\r\nFile to patch: %s", question, full);
    return Ask(window, text, MB_YESNO | icon | MB_DEFBUTTON2) == IDYES;
}

// A file chosen in another folder than the patch's may be another copy of the program.
static int ElsewhereQuestion(char* question, size_t size)
{
    static char patchFolder[TEXT_BUFFER_SIZE], fileFolder[TEXT_BUFFER_SIZE];
    FullFolder(Job.patchPath, patchFolder);
    FullFolder(Job.filePath, fileFolder);
    if (lstrcmpiA(patchFolder, fileFolder) == 0)
        return 0;
    snprintf(question, size, "The file to patch is not in the patch's folder. Apply the patch to it?");
    return 1;
}

// No to replacing the undo patch leaves two ways: apply without one, or not at all.
static int WithoutUndo(HWND window)
{
    if (!Agrees(window, "Apply without an undo patch?", MB_ICONQUESTION)) {
        Ask(window, "Not applied: nothing was changed.", MB_ICONINFORMATION | MB_OK);
        return 0;
    }
    Job.undoPath[0] = '\0';
    return 1;
}

void AskAndApply(HWND window)
{
    static char question[TEXT_BUFFER_SIZE * 2];
    if (ElsewhereQuestion(question, sizeof question) && !Agrees(window, question, MB_ICONWARNING))
        return;
    if (NameQuestion(Job.patch, Job.filePath, question, sizeof question) && !Agrees(window, question, MB_ICONWARNING))
        return;
    if (Job.fit.state == FIT_PARTLY_APPLIED) {
        PartlyQuestion(Job.patch, Job.fit, question, sizeof question);
        if (!Agrees(window, question, MB_ICONWARNING))
            return;
    }
    Job.undoPath[0] = '\0';
    if (IsDlgButtonChecked(window, IDC_APPLY_KEEP_UNDO) == BST_CHECKED) {
        if (!UndoPatchPath(Job.patchPath, Job.filePath, Job.undoPath, sizeof Job.undoPath)) {
            Problem problem;
            Refuse(&problem, Job.filePath, "no room for the undo patch's name beside it");
            ShowProblem(window, problem);
            return;
        }
        if (GetFileAttributesA(Job.undoPath) != INVALID_FILE_ATTRIBUTES) {
            ReplaceUndoQuestion(Job.undoPath, question, sizeof question);
            if (!Agrees(window, question, MB_ICONQUESTION) && !WithoutUndo(window))
                return;
        }
    }
    Job.kind = WORK_APPLY;
    StartWork(window);
    ShowWorking(window, 1);
}

// How the last apply went, kept from its end until the survey after it has
// shown the file's new state.
static int Told = 1;
static int Applied;
static char Done[TEXT_BUFFER_SIZE * 3];
static Problem Outcome; // a failure, or after a success the note of old contents left behind
static char OutcomePath[TEXT_BUFFER_SIZE * 2]; // its file: the survey reuses Job's paths
static int Noted;

void KeepApplied()
{
    Applied = Job.applied;
    if (Applied) {
        int length = 0;
        if (Job.fit.journal == JOURNAL_FINISHED)
            length = snprintf(Done, sizeof Done, "%s: an interrupted apply of %s was finished\r\n",
                              LastComponent(Job.filePath), LastComponent(Job.fit.journalPatch));
        AppliedText(Job.filePath, Job.undoPath[0] ? Job.undoPath : NULL, Done + length, sizeof Done - length);
    }
    Outcome = Job.problem;
    if (Outcome.path)
        Outcome.path = strcpy(OutcomePath, Outcome.path);
    Noted = Job.applied && Job.fit.noted;
    // Cancel asked for nothing more: the files are as they were.
    Told = !Applied && Outcome.kind == PROBLEM_CANCELLED;
}

void ShowApplied(HWND window)
{
    if (Told)
        return;
    Told = 1;
    if (Applied)
        Ask(window, Done, MB_ICONINFORMATION | MB_OK);
    // Applied, but old contents could not be removed: say where they are.
    if (!Applied || Noted)
        ShowProblem(window, Outcome);
}
