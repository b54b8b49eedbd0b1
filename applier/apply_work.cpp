#include "apply_work.h"

#include "path_name.h"
#include "target_name.h"

#include <cstdio>
#include <cstring>
#include <process.h>

Work Job;
static HWND Window;
static HANDLE Thread;
static int Running;
static unsigned Number; // of the last work started

static void PostProgress(void*, long long done, long long total)
{
    int thousandths = total > 0 ? static_cast<int>(done * 1000 / total) : 0;
    // At most a thousand messages, however many steps the work takes.
    if (thousandths != Job.thousandths) {
        Job.thousandths = thousandths;
        PostMessageA(Window, WM_WORK_PROGRESS, thousandths, 0);
    }
}

// How much of `path` names its folder, the separator included.
static int FolderLength(const char* path)
{
    return static_cast<int>(LastComponent(path) - path);
}

// The files beside the patch whose names give its target name (the rule
// morvex.exe makes it by); when there is one, it becomes the file to patch.
static void LookBeside()
{
    static char name[TEXT_BUFFER_SIZE], candidate[TEXT_BUFFER_SIZE * 2], found[TEXT_BUFFER_SIZE];
    static wchar_t pattern[TEXT_BUFFER_SIZE];
    int folderLength = FolderLength(Job.patchPath);
    snprintf(candidate, sizeof candidate, "%.*s*", folderLength, Job.patchPath);
    WIN32_FIND_DATAW entry;
    HANDLE search = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, candidate, -1, pattern, TEXT_BUFFER_SIZE)
                        ? FindFirstFileW(pattern, &entry)
                        : INVALID_HANDLE_VALUE;
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || !FromWideText(entry.cFileName, name, sizeof name))
            continue;
        snprintf(candidate, sizeof candidate, "%.*s%s", folderLength, Job.patchPath, name);
        TargetName given = DeriveTargetName(candidate, Job.patch.codePage, NULL);
        if (strncmp(given.bytes, Job.patch.name.bytes, TARGET_NAME_SIZE) == 0 && strlen(candidate) < TEXT_BUFFER_SIZE) {
            Job.matches++;
            strcpy(found, candidate);
        }
    } while (FindNextFileW(search, &entry));
    FindClose(search);
    if (Job.matches == 1)
        strcpy(Job.filePath, found);
}

static unsigned __stdcall DoWork(void* number)
{
    if (Job.kind == WORK_APPLY) {
        Job.applied = ApplyPatch(Job.patchPath, Job.filePath, NULL, Job.undoPath[0] ? Job.undoPath : NULL, 0, 1, 1,
                                 &Job.progress, &Job.fit, &Job.problem);
    } else if ((Job.loaded = LoadPatch(Job.patchPath, 0, &Job.patchSpace, &Job.patch, &Job.problem))) {
        if (Job.look)
            LookBeside();
        if (Job.filePath[0])
            Job.judged = SurveyFit(Job.patch, Job.filePath, &Job.progress, &Job.fit, &Job.problem);
        // Told now, rather than after the questions Apply asks.
        if (Job.judged && (Job.fit.state == FIT_NOT_APPLIED || Job.fit.state == FIT_PARTLY_APPLIED))
            Job.writable = CheckWritable(Job.filePath, &Job.problem);
    }
    PostMessageA(Window, WM_WORK_DONE, reinterpret_cast<WPARAM>(number), 0);
    return 0;
}

void StartWork(HWND window)
{
    Window = window;
    Job.loaded = Job.matches = Job.judged = Job.writable = Job.applied = 0;
    Job.thousandths = -1;
    Job.progress.report = PostProgress;
    Job.progress.cancel = 0;
    Number++;
    Running = 1;
    Thread = reinterpret_cast<HANDLE>(_beginthreadex(NULL, 0, DoWork, reinterpret_cast<void*>(Number), 0, NULL));
    // Without a thread the work is done here, and its end still comes as a message.
    if (!Thread)
        DoWork(reinterpret_cast<void*>(Number));
}

int Working()
{
    return Running;
}

void CancelWork()
{
    Job.progress.cancel = 1;
}

int FinishWork(WPARAM number)
{
    if (!Running || number != Number)
        return 0;
    if (Thread) {
        WaitForSingleObject(Thread, INFINITE);
        CloseHandle(Thread);
        Thread = NULL;
    }
    Running = 0;
    return 1;
}

void StopWork()
{
    CancelWork();
    FinishWork(Number);
}
