// Committing a replacement: the flush, the last look, and the moves.
#include "replace_posix.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

// Flushes the temporary file to the disk with its final permission bits; a
// write that failed before fails it too, with its reason.
static int Flush(Replacement* r, Problem* problem)
{
    int fd = fileno(r->file);
    if (!ferror(r->file) && System.fchmod(fd, r->mode) == 0 && fflush(r->file) == 0 && System.fsync(fd) == 0)
        return 1;
    return NoteSystemError(problem);
}

// Whether the name still names what was read or looked at, untouched, or
// still nothing.
static int StillThere(Replacement* r, Problem* problem)
{
    struct stat status;
    FileInfo now;
    int found = System.fstatat(r->folder, r->name, &status, AT_SYMLINK_NOFOLLOW) == 0;
    if (found)
        StatInfo(status, &now);
    if (r->exists ? found && Untouched(r->info, now) : !found && errno == ENOENT)
        return 1;
    r->changed = 1;
    return NoteReason(problem, ChangedWhileWorking);
}

// Keeps the name `name` (a short temporary one) of r's folder in `r->kept`, as a path.
static void Keep(Replacement* r, const char* name)
{
    size_t length = strlen(r->where);
    snprintf(r->kept, sizeof r->kept, "%s%s%.31s", r->where, length && r->where[length - 1] == '/' ? "" : "/", name);
}

// Gives `r` its final name: from its temporary name, or a new file linked
// there at once, which fails where a file has appeared meanwhile.
static int MoveInto(Replacement* r, Problem* problem)
{
    if (!r->temp[0]) {
        if (LinkTemp(r, r->name, problem))
            return 1;
        if (problem->error == EEXIST)
            r->changed = 1, NoteReason(problem, ChangedWhileWorking);
        return 0;
    }
    if (System.renameat(r->folder, r->temp, r->folder, r->name) != 0)
        return NoteSystemError(problem);
    r->temp[0] = '\0';
    return 1;
}

enum { MOVED_NEW, MOVED_SWAPPED, MOVED_LINKED };

// Moves `r` into place so that the move can be taken back: the replaced file
// is swapped to the temporary name, or kept under a second hard link.
static int MoveKeeping(Replacement* r, char* backup, int* how, Problem* problem)
{
    *how = r->exists ? MOVED_SWAPPED : MOVED_NEW;
    if (!r->exists)
        return MoveInto(r, problem);
    if (System.renameat2(r->folder, r->temp, r->folder, r->name, RENAME_EXCHANGE) == 0)
        return 1;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
        return NoteSystemError(problem);
    *how = MOVED_LINKED;
    strcat(strcpy(backup, r->temp), "~"); // a temporary name is short
    if (System.linkat(r->folder, r->name, r->folder, backup, 0) != 0)
        return NoteSystemError(problem);
    if (MoveInto(r, problem))
        return 1;
    System.unlinkat(r->folder, backup, 0);
    return 0;
}

// Takes back a move made by MoveKeeping. Where that fails, `r` stays in place
// and its old contents stay where they are, kept.
static void TakeBack(Replacement* r, const char* backup, int how)
{
    int back = how == MOVED_SWAPPED ? System.renameat2(r->folder, r->temp, r->folder, r->name, RENAME_EXCHANGE) == 0
               : how == MOVED_LINKED ? System.renameat(r->folder, backup, r->folder, r->name) == 0
                                     : System.unlinkat(r->folder, r->name, 0) == 0;
    if (back)
        return;
    r->placed = 1;
    if (how != MOVED_NEW)
        Keep(r, how == MOVED_SWAPPED ? r->temp : backup);
    r->temp[0] = '\0';
}

// Removes the old contents a two-file commit kept for taking it back; where
// that fails they are kept, and the reason noted.
static void RemoveOld(Replacement* r, const char* backup, int how, Problem* problem)
{
    const char* old = how == MOVED_SWAPPED ? r->temp : backup;
    if (how != MOVED_NEW && System.unlinkat(r->folder, old, 0) != 0) {
        NoteSystemError(problem);
        Keep(r, old);
    }
    r->temp[0] = '\0';
}

int CommitReplace(Replacement* first, Replacement* second, Replacement** failed, Problem* problem)
{
    Replacement* all[2] = {first, second};
    int count = second ? 2 : 1;
    *failed = NULL;
    for (int i = 0; i < count && !*failed; i++)
        if (!Flush(all[i], problem))
            *failed = all[i];
    // Between the last look and the last move every name changes with
    // interrupts held: an interrupt there would leave one move done.
    HoldInterrupts();
    for (int i = 0; i < count && !*failed; i++)
        if (!StillThere(all[i], problem))
            *failed = all[i];
    // A file that replaces another takes its place from a temporary name.
    for (int i = 0; i < count && !*failed; i++)
        if (all[i]->exists && !all[i]->temp[0] && !LinkTemp(all[i], NULL, problem))
            *failed = all[i];
    char backup[TEMP_PATH_SIZE] = "";
    int how = MOVED_NEW;
    if (!*failed && !second && !MoveInto(first, problem)) {
        *failed = first;
    } else if (!*failed && second && !MoveKeeping(first, backup, &how, problem)) {
        *failed = first;
    } else if (!*failed && second) {
        if (!MoveInto(second, problem)) {
            *failed = second;
            TakeBack(first, backup, how);
        } else {
            RemoveOld(first, backup, how, problem);
        }
    }
    // The new names are made durable too (not in a folder held by O_PATH);
    // what is left under a temporary name goes.
    for (int i = 0; i < count; i++) {
        if (!*failed || all[i]->placed)
            System.fsync(all[i]->folder);
        AbandonReplace(all[i]);
    }
    ReleaseInterrupts();
    return !*failed;
}
