// Resolving a destination: links followed as an open would, the final
// name's folder held open.
#include "replace_posix.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

// Splits `path` into its folder, held open, and its final name. A folder one
// may write but not read is held with O_PATH, as the base of the calls that
// follow; only its flush to disk needs more, and is done without.
static int OpenFolder(const char* path, Replacement* r, Problem* problem)
{
    const char* slash = strrchr(path, '/');
    const char* last = slash ? slash + 1 : path;
    size_t length = slash ? (slash == path ? 1 : static_cast<size_t>(slash - path)) : 0;
    if (length >= sizeof r->where || strlen(last) >= TEMP_PATH_SIZE || !*last)
        return NoteError(problem, *last ? ENAMETOOLONG : EISDIR), -1;
    strcpy(r->where, ".");
    if (length)
        memcpy(r->where, path, length), r->where[length] = '\0';
    strcpy(r->name, last);
    int folder = System.open(r->where, O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
    if (folder < 0 && errno == EACCES)
        folder = System.open(r->where, O_PATH | O_DIRECTORY | O_CLOEXEC, 0);
    if (folder < 0)
        NoteSystemError(problem);
    return folder;
}

// Where an open of the path reaches something, the name resolved must be
// it: a link under /proc to an open file names it by a path that may lead
// elsewhere or nowhere ("pipe:[N]", "NAME (deleted)").
static int ReachesTheSame(const Replacement& r, int reachable, const struct stat& reached, const struct stat& status,
                          Problem* problem)
{
    if (!reachable || (r.exists && status.st_dev == reached.st_dev && status.st_ino == reached.st_ino))
        return 1;
    if (!S_ISREG(reached.st_mode))
        return NoteReason(problem, "Not a regular file");
    return NoteReason(problem, r.exists ? ChangedWhileWorking : "a link to a file that has no name");
}

int ResolveDestination(const char* path, Replacement* r, struct stat* status, Problem* problem)
{
    struct stat reached;
    int reachable = System.stat(path, &reached) == 0;
    char current[TEMP_PATH_SIZE];
    strcpy(current, path);
    for (int hops = 0; hops < 40; hops++) {
        r->folder = OpenFolder(current, r, problem);
        if (r->folder < 0)
            return 0;
        struct stat folder;
        if (System.fstatat(r->folder, r->name, status, AT_SYMLINK_NOFOLLOW) != 0) {
            r->exists = 0;
            if (errno != ENOENT)
                return NoteSystemError(problem);
            return ReachesTheSame(*r, reachable, reached, *status, problem);
        }
        r->exists = 1;
        if (!S_ISLNK(status->st_mode))
            return ReachesTheSame(*r, reachable, reached, *status, problem);
        if (System.fstat(r->folder, &folder) != 0)
            return NoteSystemError(problem);
        // In a sticky, world-writable folder only a link of the caller or of
        // the folder's owner is followed.
        if ((folder.st_mode & (S_ISVTX | S_IWOTH)) == (S_ISVTX | S_IWOTH) && status->st_uid != geteuid()
            && status->st_uid != folder.st_uid)
            return NoteReason(problem, "a link another user left in a shared folder");
        char link[TEMP_PATH_SIZE];
        ssize_t length = System.readlinkat(r->folder, r->name, link, sizeof link);
        if (length < 0 || length == static_cast<ssize_t>(sizeof link))
            return length < 0 ? NoteSystemError(problem) : NoteError(problem, ENAMETOOLONG);
        link[length] = '\0';
        const char* slash = link[0] == '/' ? NULL : strrchr(current, '/');
        size_t folderLength = slash ? static_cast<size_t>(slash - current) + 1 : 0;
        if (folderLength + static_cast<size_t>(length) >= TEMP_PATH_SIZE)
            return NoteError(problem, ENAMETOOLONG);
        memmove(current + folderLength, link, static_cast<size_t>(length) + 1);
        System.close(r->folder);
    }
    r->folder = -1;
    return NoteError(problem, ELOOP);
}

int SamePlace(const Replacement* a, const Replacement* b)
{
    struct stat folderA, folderB;
    if (System.fstat(a->folder, &folderA) != 0 || System.fstat(b->folder, &folderB) != 0)
        return 1;
    return folderA.st_dev == folderB.st_dev && folderA.st_ino == folderB.st_ino && strcmp(a->name, b->name) == 0;
}
