// Beginning and abandoning a replacement (see file_replace.h).
#include "replace_posix.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/xattr.h>
#include <unistd.h>

// Gives the temporary file the owner, group and extended attributes (POSIX
// ACLs among them) of the file it replaces, as far as the caller may. The
// buffers take the largest name list and value Linux has (XATTR_LIST_MAX,
// XATTR_SIZE_MAX).
static void CopyOwnership(int from, int to, const struct stat& status)
{
    if (System.fchown(to, status.st_uid, status.st_gid) != 0)
        (void)!System.fchown(to, static_cast<uid_t>(-1), status.st_gid);
    enum { MOST = 1 << 16 };
    char* names = static_cast<char*>(malloc(2 * MOST));
    char* value = names + MOST;
    ssize_t length = names ? System.flistxattr(from, names, MOST) : -1;
    for (ssize_t at = 0; at < length; at += static_cast<ssize_t>(strlen(names + at)) + 1) {
        ssize_t size = System.fgetxattr(from, names + at, value, MOST);
        if (size >= 0)
            System.fsetxattr(to, names + at, value, static_cast<size_t>(size), 0);
    }
    free(names);
}

// Opens what is at the name for writing, which tells whether it may be
// written; O_NONBLOCK keeps a FIFO swapped in meanwhile from blocking it.
static int OpenExisting(Replacement* r, const struct stat& status, Problem* problem)
{
    StatInfo(status, &r->info);
    r->otherNames = static_cast<long>(status.st_nlink) - 1;
    r->mode = status.st_mode & 0777; // never the setuid, setgid or sticky bit
    if (!r->info.regular)
        return S_ISDIR(status.st_mode) ? NoteError(problem, EISDIR) : NoteReason(problem, "Not a regular file"), -1;
    int existing = System.openat(r->folder, r->name, O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0);
    // A program running from the file keeps it from being written, not replaced.
    if (existing < 0 && errno == ETXTBSY)
        existing = System.openat(r->folder, r->name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0);
    if (existing < 0)
        NoteSystemError(problem);
    return existing;
}

int BeginReplace(const char* path, FILE*, const FileInfo* readInfo, Replacement* r, Problem* problem)
{
    memset(r, 0, sizeof *r);
    r->slot = -1;
    struct stat status;
    int existing = -1;
    if (!ResolveDestination(path, r, &status, problem)) {
        if (r->folder >= 0)
            System.close(r->folder);
        r->folder = -1;
        return 0;
    }
    // As a link there would be, another user's file in a sticky, world-writable
    // folder is not replaced by a new one, unless it is the file being patched.
    struct stat folder;
    if (r->exists && !readInfo && System.fstat(r->folder, &folder) == 0
        && (folder.st_mode & (S_ISVTX | S_IWOTH)) == (S_ISVTX | S_IWOTH) && status.st_uid != geteuid()
        && status.st_uid != folder.st_uid) {
        NoteReason(problem, "a file another user left in a shared folder");
        AbandonReplace(r);
        return 0;
    }
    if (r->exists) {
        existing = OpenExisting(r, status, problem);
    } else {
        mode_t mask = umask(0);
        umask(mask);
        r->mode = 0666 & ~mask;
    }
    // Begun from a file that was read, the commit compares with that file as
    // it was when it was read; a name that leads to nothing now is refused.
    if (readInfo && !r->exists) {
        r->changed = 1;
        NoteReason(problem, ChangedWhileWorking);
    } else if (readInfo) {
        r->info = *readInfo;
    }
    int fd = (r->exists && existing < 0) || r->changed ? -1 : CreateTemp(r, problem);
    if (fd >= 0) {
        if (existing >= 0)
            CopyOwnership(existing, fd, status);
        if (!(r->file = fdopen(fd, "wb"))) {
            NoteSystemError(problem);
            System.close(fd);
        }
    }
    if (existing >= 0)
        System.close(existing);
    if (!r->file)
        AbandonReplace(r);
    return r->file != NULL;
}

void AbandonReplace(Replacement* r)
{
    DropTemp(r);
    if (r->folder >= 0)
        System.close(r->folder);
    r->folder = -1;
}
