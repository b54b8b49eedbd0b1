// The steps of a commit on Windows (commit_moves.h): the flush, the last
// look, and the moves.
#include "commit_moves.h"

#include <cstring>
#include <io.h>
#include <windows.h>

#include "system_calls.h"
#include "win32_files.h"

int FlushTemp(Replacement* r, Problem* problem)
{
    int ok = !ferror(r->file) && fflush(r->file) == 0
             && System.FlushFileBuffers(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(r->file))));
    if (!ok)
        NoteSystemError(problem);
    if (fclose(r->file) != 0 && ok)
        ok = 0, NoteReason(problem, "The file could not be written");
    r->file = NULL;
    return ok;
}

int StillThere(Replacement* r, Problem* problem)
{
    BY_HANDLE_FILE_INFORMATION status;
    int found = InspectPath(r->name, &status);
    DWORD error = GetLastError();
    FileInfo now = {};
    if (found)
        HandleInfo(status, &now);
    if (r->exists ? found && Untouched(r->info, now)
                  : !found && (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND))
        return 1;
    r->changed = 1;
    return NoteReason(problem, ChangedWhileWorking);
}

int ReadyToMove(Replacement*, Problem*)
{
    return 1;
}

// An existing file is replaced with ReplaceFileA, which keeps its attributes,
// ACL and streams; the replaced file stays under the backup name, kept or
// not, until RemoveOld. Where ReplaceFileA fails halfway, with the replaced
// file already moved to the backup name, it is put back, or else kept there.
int MoveIntoPlace(Replacement* r, int, Moved* moved, Problem* problem)
{
    strcat(strcpy(moved->backup, r->temp), "~");
    if (r->exists ? System.ReplaceFileA(r->name, r->temp, moved->backup, REPLACEFILE_IGNORE_MERGE_ERRORS, NULL, NULL)
                  : System.MoveFileExA(r->temp, r->name, MOVEFILE_WRITE_THROUGH)) {
        if (r->exists) // Wine's ReplaceFile drops the attributes
            System.SetFileAttributesA(r->name, r->mode ? r->mode : FILE_ATTRIBUTE_NORMAL);
        return 1;
    }
    DWORD error = GetLastError();
    NoteSystemError(problem);
    if (r->exists && error == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2
        && !System.MoveFileExA(moved->backup, r->name, MOVEFILE_WRITE_THROUGH))
        strcpy(r->kept, moved->backup);
    return 0;
}

void TakeBack(Replacement* r, const Moved& moved)
{
    if (r->exists ? System.MoveFileExA(moved.backup, r->name, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
                  : System.DeleteFileA(r->name))
        return;
    r->placed = 1;
    if (r->exists)
        strcpy(r->kept, moved.backup);
}

void RemoveOld(Replacement* r, const Moved& moved, Problem* problem)
{
    if (r->exists && !System.DeleteFileA(moved.backup)) {
        NoteSystemError(problem);
        strcpy(r->kept, moved.backup);
    }
}

// Windows has no folder to flush (the moves are written through); the
// temporary file, if still there, goes.
int EndCommit(Replacement* r, int, Problem*)
{
    AbandonReplace(r);
    return 1;
}
