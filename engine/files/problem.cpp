#include "problem.h"
#include "progress.h"

#include <cstdio>
#include <cstring>

const char ChangedWhileWorking[] = "changed while Morvex was working";
const char Cancelled[] = "cancelled";

int Advance(Progress* progress, long long done, long long total)
{
    if (!progress)
        return 1;
    if (progress->report)
        progress->report(progress->context, done, total);
    return !progress->cancel.load();
}

int NoteError(Problem* problem, int error)
{
    problem->kind = PROBLEM_SYSTEM;
    problem->error = error;
    problem->reason = NULL;
    return 0;
}

int NoteReason(Problem* problem, const char* reason)
{
    problem->kind = PROBLEM_SYSTEM;
    problem->error = 0;
    problem->reason = reason;
    return 0;
}

int Blame(Problem* problem, const char* path, const char* what)
{
    problem->kind = PROBLEM_SYSTEM;
    problem->path = path;
    snprintf(problem->what, sizeof problem->what, "%s", what);
    return 0;
}

int Fail(Problem* problem, int kind, const char* path, const char* what)
{
    NoteReason(problem, NULL);
    Blame(problem, path, what);
    problem->kind = kind;
    return 0;
}

int Refuse(Problem* problem, const char* path, const char* what)
{
    return Fail(problem, PROBLEM_REFUSED, path, what);
}

int RefuseChanged(Problem* problem, const char* path)
{
    return Fail(problem, PROBLEM_CHANGED, path, ChangedWhileWorking);
}

void ProblemLine(const Problem& problem, char* out, size_t size)
{
    char reason[PROBLEM_TEXT_SIZE];
    const char* words = ProblemReason(problem, reason, sizeof reason);
    snprintf(out, size, "%s%s%s%s%s", problem.path ? problem.path : "", problem.path ? ": " : "", problem.what,
             words ? ": " : "", words ? words : "");
}

void KeepProblemPath(Problem* problem, const void* work, size_t size)
{
    const char* start = static_cast<const char*>(work);
    if (problem->path >= start && problem->path < start + size) {
        snprintf(problem->kept, sizeof problem->kept, "%s", problem->path);
        problem->path = problem->kept;
    }
}
