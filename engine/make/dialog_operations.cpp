// CheckSameSize and BuildPatch as the dialog program runs them: its own
// message in a box (two boxes after a failed build: this one, then the
// dialog's "Error writing patch!"), and only 1 or 0 back.
#include "patch_builder.h"
#include "warning.h"

// The dialog's own messages stand alone; anything else names its file and
// gives the system's reason.
static int ShowProblem(void* owner, const Problem& problem)
{
    char line[PROBLEM_TEXT_SIZE * 3];
    if (problem.kind == PROBLEM_MAKE_MESSAGE)
        ShowWarning(owner, problem.what);
    else
        ProblemLine(problem, line, sizeof line), ShowWarning(owner, line);
    return 0;
}

int CheckSameSize(void* owner, const char* originalPath, const char* modifiedPath)
{
    Problem problem;
    return CompareSizes(originalPath, modifiedPath, &problem) || ShowProblem(owner, problem);
}

int BuildPatch(void* owner, const char* originalPath, const char* modifiedPath, const char* patchPath,
               const char* comment)
{
    Problem problem;
    return MakePatchFile(originalPath, modifiedPath, patchPath, comment, 0, NULL, &problem) || ShowProblem(owner, problem);
}
