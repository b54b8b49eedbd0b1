#include "apply_state.h"

#include "patch_text.h"
#include "path_text.h"
#include "resource.h"
#include "target_name.h"

#include <cstdio>
#include <cstring>

char FoundFile[TEXT_BUFFER_SIZE];
int Filling;
static char SurveyedPatch[TEXT_BUFFER_SIZE]; // the patch field's text at the last survey
static int FileRead;  // whether the file field's text could be passed on
static int Pending;   // the fields changed while work ran

static void SetField(HWND window, int field, const char* text)
{
    Filling = 1;
    SetDlgItemTextA(window, field, text);
    Filling = 0;
}

static void ShowBox(HWND window, const char* box, int applicable)
{
    SetDlgItemTextA(window, IDC_APPLY_INFO, box);
    EnableWindow(GetDlgItem(window, IDC_APPLY_APPLY), applicable);
}

static void StartSurvey(HWND window)
{
    static char patchPath[TEXT_BUFFER_SIZE], filePath[TEXT_BUFFER_SIZE];
    int patchRead = ReadPathField(window, IDC_APPLY_PATCH_PATH, patchPath, 0);
    FileRead = ReadPathField(window, IDC_APPLY_FILE_PATH, filePath, 0);
    if (!patchRead)
        patchPath[0] = '\0';
    // A file found for the previous patch is not the new one's.
    if (strcmp(patchPath, SurveyedPatch) != 0 && FoundFile[0] && FileRead && strcmp(filePath, FoundFile) == 0) {
        SetField(window, IDC_APPLY_FILE_PATH, "");
        FoundFile[0] = filePath[0] = '\0';
    }
    strcpy(SurveyedPatch, patchPath);
    TrimPastedPath(patchPath);
    TrimPastedPath(filePath);
    if (!patchPath[0]) {
        ApplyAsked = 0;
        ShowBox(window, patchRead ? "" : CannotPassOn, 0);
        return;
    }
    Job.kind = WORK_SURVEY;
    strcpy(Job.patchPath, patchPath);
    strcpy(Job.filePath, FileRead ? filePath : "");
    Job.look = FileRead && !filePath[0];
    StartWork(window);
    ShowWorking(window, 0);
}

void RequestSurvey(HWND window)
{
    if (!Working()) {
        StartSurvey(window);
        return;
    }
    Pending = 1;
    if (Job.kind == WORK_SURVEY)
        CancelWork();
}

// The line that asks the user to choose among the files beside the patch.
static void ChooseLine(char* box)
{
    char target[SHOWN_NAME_SIZE];
    size_t used = strlen(box);
    snprintf(box + used, VERDICT_SIZE - used,
             "\r\n%d files beside the patch could be %s: choose the one to patch under \"File to patch:\".",
             Job.matches, ShownName(Job.patch.name, target, Job.patch.codePage));
}

// A file found for a target name that lost characters to its code page ('?',
// which no Windows file name holds) may be any of the names that lose the same.
static void GuessLine(char* box)
{
    if (!FoundFile[0] || strcmp(Job.filePath, FoundFile) != 0 || !memchr(Job.patch.name.bytes, '?', TARGET_NAME_SIZE))
        return;
    const char* name = Job.filePath;
    for (const char* at = Job.filePath; *at; at++)
        if (*at == '\\' || *at == '/' || *at == ':')
            name = at + 1;
    size_t used = strlen(box);
    snprintf(box + used, VERDICT_SIZE - used, "\r\nThe patch's target name lost characters; check that %s is the file to patch.",
             name);
}

int ShowVerdict(HWND window)
{
    static char box[VERDICT_SIZE], patchProblem[TEXT_BUFFER_SIZE * 2], fileProblem[TEXT_BUFFER_SIZE * 2];
    if (Pending) {
        Pending = 0;
        StartSurvey(window);
        return 0;
    }
    if (!Job.loaded) {
        ProblemLine(Job.problem, fileProblem, sizeof fileProblem);
        snprintf(patchProblem, sizeof patchProblem, "%s is not a patch file: %s", Job.patchPath, Job.problem.what);
        if (Job.problem.kind == PROBLEM_NOT_A_PATCH)
            DescribeFit(NULL, patchProblem, NULL, NULL, NULL, box);
        else
            snprintf(box, sizeof box, "%s", fileProblem);
        ShowBox(window, box, 0);
        return 0;
    }
    if (Job.matches == 1) {
        SetField(window, IDC_APPLY_FILE_PATH, Job.filePath);
        strcpy(FoundFile, Job.filePath);
    }
    if (!Job.judged && Job.filePath[0])
        ProblemLine(Job.problem, fileProblem, sizeof fileProblem);
    DescribeFit(&Job.patch, NULL, Job.filePath, Job.judged ? &Job.fit : NULL, fileProblem, box);
    if (Job.matches > 1)
        ChooseLine(box);
    GuessLine(box);
    if (!FileRead)
        snprintf(box + strlen(box), sizeof box - strlen(box), "\r\n%s", CannotPassOn);
    int applicable = Job.judged && (Job.fit.state == FIT_NOT_APPLIED || Job.fit.state == FIT_PARTLY_APPLIED);
    if (applicable && !Job.writable) {
        ProblemLine(Job.problem, fileProblem, sizeof fileProblem);
        snprintf(box + strlen(box), sizeof box - strlen(box), "\r\n%s", fileProblem);
        applicable = 0;
    }
    ShowBox(window, box, applicable);
    return applicable;
}
