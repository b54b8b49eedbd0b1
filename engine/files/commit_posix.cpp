// The steps of a commit on POSIX (commit_moves.h): the flush, the last
// look, and the moves.
#include "commit_moves.h"
#include "replace_posix.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

int FlushTemp(Replacement* r, Problem* problem)
{
    int fd = fileno(r->file);
    if (!ferror(r->file) && System.fchmod(fd, r->mode) == 0 && fflush(r->file) == 0 && System.fsync(fd) == 0)
        return 1;
    return NoteSystemError(problem);
}

int StillThere(Replacement* r, Problem* problem)
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

// A file that replaces another takes its place from a temporary name.
int ReadyToMove(Replacement* r, Problem* problem)
{
    return !r->exists || r->temp[0] || LinkTemp(r, NULL, problem);
}

// Kept, the replaced file is swapped to the temporary name, or else kept
// under a second hard link.
int MoveIntoPlace(Replacement* r, int keepOld, Moved* moved, Problem* problem)
{
    moved->how = keepOld && r->exists ? MOVED_SWAPPED : MOVED_NEW;
    if (moved->how == MOVED_NEW)
        return MoveInto(r, problem);
    if (System.renameat2(r->folder, r->temp, r->folder, r->name, RENAME_EXCHANGE) == 0)
        return 1;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
        return NoteSystemError(problem);
    moved->how = MOVED_LINKED;
    strcat(strcpy(moved->backup, r->temp), "~"); // a temporary name is short
    if (System.linkat(r->folder, r->name, r->folder, moved->backup, 0) != 0)
        return NoteSystemError(problem);
    if (MoveInto(r, problem))
        return 1;
    System.unlinkat(r->folder, moved->backup, 0);
    return 0;
}

void TakeBack(Replacement* r, const Moved& moved)
{
    int back = moved.how == MOVED_SWAPPED
                   ? System.renameat2(r->folder, r->temp, r->folder, r->name, RENAME_EXCHANGE) == 0
               : moved.how == MOVED_LINKED ? System.renameat(r->folder, moved.backup, r->folder, r->name) == 0
                                           : System.unlinkat(r->folder, r->name, 0) == 0;
    if (back)
        return;
    r->placed = 1;
    if (moved.how != MOVED_NEW)
        Keep(r, moved.how == MOVED_SWAPPED ? r->temp : moved.backup);
    r->temp[0] = '\0';
}

void RemoveOld(Replacement* r, const Moved& moved, Problem* problem)
{
    const char* old = moved.how == MOVED_SWAPPED ? r->temp : moved.backup;
    if (moved.how != MOVED_NEW && System.unlinkat(r->folder, old, 0) != 0) {
        NoteSystemError(problem);
        Keep(r, old);
    }
    r->temp[0] = '\0';
}

// The new names are made durable too. A folder held by O_PATH (EBADF) is
// one that may be written but not read: no call can flush it.
int EndCommit(Replacement* r, int inPlace, Problem* problem)
{
    int flushed = !inPlace || System.fsync(r->folder) == 0 || errno == EBADF || NoteSystemError(problem);
    AbandonReplace(r);
    return flushed;
}
