// Committing a replacement: the flush, the last look, and the moves.
#include "file_replace.h"

#include <cstring>
#include <io.h>
#include <windows.h>

#include "system_calls.h"
#include "win32_files.h"

static int Flush(Replacement* r, Problem* problem)
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

// Whether the name still names what was read or looked at, untouched, or
// still nothing.
static int StillThere(Replacement* r, Problem* problem)
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

// An existing file is replaced with ReplaceFileA, which keeps its attributes,
// ACL and streams; the replaced file stays under `backup` until the caller
// removes it. Where ReplaceFileA fails halfway, with the replaced file
// already moved to the backup name, it is put back, or else kept there.
static int Move(Replacement* r, const char* backup, Problem* problem)
{
    if (r->exists ? System.ReplaceFileA(r->name, r->temp, backup, REPLACEFILE_IGNORE_MERGE_ERRORS, NULL, NULL)
                  : System.MoveFileExA(r->temp, r->name, MOVEFILE_WRITE_THROUGH)) {
        if (r->exists) // Wine's ReplaceFile drops the attributes
            System.SetFileAttributesA(r->name, r->mode ? r->mode : FILE_ATTRIBUTE_NORMAL);
        return 1;
    }
    DWORD error = GetLastError();
    NoteSystemError(problem);
    if (r->exists && error == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2
        && !System.MoveFileExA(backup, r->name, MOVEFILE_WRITE_THROUGH))
        strcpy(r->kept, backup);
    return 0;
}

// Takes back a move made by Move. Where that fails, `r` stays in place and
// its old contents stay under `backup`, kept.
static void TakeBack(Replacement* r, const char* backup)
{
    if (r->exists ? System.MoveFileExA(backup, r->name, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
                  : System.DeleteFileA(r->name))
        return;
    r->placed = 1;
    if (r->exists)
        strcpy(r->kept, backup);
}

int CommitReplace(Replacement* first, Replacement* second, Replacement** failed, Problem* problem)
{
    Replacement* all[2] = {first, second};
    int count = second ? 2 : 1;
    *failed = NULL;
    for (int i = 0; i < count && !*failed; i++)
        if (!Flush(all[i], problem))
            *failed = all[i];
    // Between the last look and the last move the console's handler waits:
    // run between the two moves, it would leave one of them done.
    HoldInterrupts();
    for (int i = 0; i < count && !*failed; i++)
        if (!StillThere(all[i], problem))
            *failed = all[i];
    // The first file's old contents wait under its backup name until the
    // second is in place, and come back if it cannot be.
    char backup[2][TEMP_PATH_SIZE];
    for (int i = 0; i < count; i++)
        strcat(strcpy(backup[i], all[i]->temp), "~");
    if (!*failed && !Move(first, backup[0], problem)) {
        *failed = first;
    } else if (!*failed && second && !Move(second, backup[1], problem)) {
        *failed = second;
        TakeBack(first, backup[0]);
    }
    for (int i = 0; i < count; i++) {
        if (!*failed && all[i]->exists && !System.DeleteFileA(backup[i])) {
            NoteSystemError(problem);
            strcpy(all[i]->kept, backup[i]);
        }
        AbandonReplace(all[i]);
    }
    ReleaseInterrupts();
    return !*failed;
}
