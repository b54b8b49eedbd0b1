#include "file_replace.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

// Temporary files in flight, for the signal handler: a slot is published
// only once its file exists, so the handler removes only what we created.
enum { SLOTS = 4 };
static int SlotFolder[SLOTS];
static char SlotName[SLOTS][TEMP_PATH_SIZE];
static volatile sig_atomic_t SlotInUse[SLOTS];

void RemoveTempsInFlight()
{
    for (int slot = 0; slot < SLOTS; slot++)
        if (SlotInUse[slot])
            unlinkat(SlotFolder[slot], SlotName[slot], 0);
}

// Splits `path` into its folder, opened, and its final name.
static int OpenFolder(const char* path, char* name, Problem* problem)
{
    const char* slash = strrchr(path, '/');
    const char* last = slash ? slash + 1 : path;
    char dir[TEMP_PATH_SIZE] = ".";
    size_t length = slash ? (slash == path ? 1 : static_cast<size_t>(slash - path)) : 0;
    if (length >= sizeof dir || strlen(last) >= TEMP_PATH_SIZE || !*last)
        return NoteError(problem, *last ? ENAMETOOLONG : EISDIR), -1;
    if (length)
        memcpy(dir, path, length), dir[length] = '\0';
    strcpy(name, last);
    int folder = open(dir, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0)
        NoteSystemError(problem);
    return folder;
}

// Follows links from `path` as an open would, refusing one in a sticky,
// world-writable folder owned by neither the caller nor the folder's owner.
static int Resolve(const char* path, Replacement* r, struct stat* status, Problem* problem)
{
    char current[TEMP_PATH_SIZE];
    strcpy(current, path);
    for (int hops = 0; hops < 40; hops++) {
        r->folder = OpenFolder(current, r->name, problem);
        if (r->folder < 0)
            return 0;
        struct stat folder;
        if (fstatat(r->folder, r->name, status, AT_SYMLINK_NOFOLLOW) != 0) {
            r->exists = 0;
            if (errno == ENOENT)
                return 1;
            NoteSystemError(problem);
            return 0;
        }
        r->exists = 1;
        if (!S_ISLNK(status->st_mode))
            return 1;
        if (fstat(r->folder, &folder) != 0)
            return NoteSystemError(problem);
        if ((folder.st_mode & (S_ISVTX | S_IWOTH)) == (S_ISVTX | S_IWOTH) && status->st_uid != geteuid()
            && status->st_uid != folder.st_uid)
            return NoteReason(problem, "a link another user left in a shared folder");
        char link[TEMP_PATH_SIZE];
        ssize_t length = readlinkat(r->folder, r->name, link, sizeof link);
        if (length < 0 || length == static_cast<ssize_t>(sizeof link))
            return length < 0 ? NoteSystemError(problem) : NoteError(problem, ENAMETOOLONG);
        link[length] = '\0';
        const char* slash = link[0] == '/' ? NULL : strrchr(current, '/');
        size_t folderLength = slash ? static_cast<size_t>(slash - current) + 1 : 0;
        if (folderLength + static_cast<size_t>(length) >= TEMP_PATH_SIZE)
            return NoteError(problem, ENAMETOOLONG), 0;
        memmove(current + folderLength, link, static_cast<size_t>(length) + 1);
        close(r->folder);
    }
    r->folder = -1;
    NoteError(problem, ELOOP);
    return 0;
}

// Gives the temporary file the owner, group and extended attributes (POSIX
// ACLs among them) of the file it replaces, as far as the caller may.
static void CopyOwnership(int from, int to, const struct stat& status)
{
    if (fchown(to, status.st_uid, status.st_gid) != 0)
        (void)!fchown(to, static_cast<uid_t>(-1), status.st_gid);
    static char names[1 << 14], value[1 << 16];
    ssize_t length = flistxattr(from, names, sizeof names);
    for (ssize_t at = 0; at < length; at += static_cast<ssize_t>(strlen(names + at)) + 1) {
        ssize_t size = fgetxattr(from, names + at, value, sizeof value);
        if (size >= 0)
            fsetxattr(to, names + at, value, static_cast<size_t>(size), 0);
    }
}

static int CreateTemp(Replacement* r, Problem* problem)
{
    static unsigned counter;
    static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    unsigned long seed = static_cast<unsigned long>(now.tv_nsec) ^ (static_cast<unsigned long>(getpid()) << 16);
    for (int attempt = 0; attempt < 100; attempt++) {
        unsigned long value = seed + 7919UL * ++counter;
        strcpy(r->temp, ".morvex-XXXXXX");
        for (int i = 8; i < 14; i++, value /= 62)
            r->temp[i] = letters[value % 62];
        int fd = openat(r->folder, r->temp, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0 && errno != EEXIST)
            NoteSystemError(problem);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    NoteError(problem, EEXIST);
    return -1;
}

int BeginReplace(const char* path, Replacement* r, Problem* problem)
{
    memset(r, 0, sizeof *r);
    r->slot = -1;
    struct stat status;
    if (!Resolve(path, r, &status, problem)) {
        if (r->folder >= 0)
            close(r->folder);
        return 0;
    }
    int existing = -1;
    if (r->exists) {
        r->info.regular = S_ISREG(status.st_mode);
        r->info.size = static_cast<long long>(status.st_size);
        r->info.volume = static_cast<unsigned long long>(status.st_dev);
        r->info.index = static_cast<unsigned long long>(status.st_ino);
        r->otherNames = static_cast<long>(status.st_nlink) - 1;
        r->mode = status.st_mode & 0777; // never the setuid, setgid or sticky bit
        // Opening for writing tells whether it may be written; O_NONBLOCK
        // keeps a FIFO swapped in meanwhile from blocking the open.
        if (!r->info.regular)
            S_ISDIR(status.st_mode) ? NoteError(problem, EISDIR) : NoteReason(problem, "Not a regular file");
        else if ((existing = openat(r->folder, r->name, O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC)) < 0)
            NoteSystemError(problem);
    } else {
        mode_t mask = umask(0);
        umask(mask);
        r->mode = 0666 & ~mask;
    }
    int slot = 0;
    while (slot < SLOTS && SlotInUse[slot])
        slot++;
    int fd = (r->exists && existing < 0) || slot == SLOTS ? -1 : CreateTemp(r, problem);
    if (fd >= 0) {
        SlotFolder[slot] = r->folder;
        strcpy(SlotName[slot], r->temp);
        SlotInUse[slot] = 1;
        r->slot = slot;
        if (existing >= 0)
            CopyOwnership(existing, fd, status);
        if (!(r->file = fdopen(fd, "wb"))) {
            NoteSystemError(problem);
            close(fd);
        }
    }
    if (existing >= 0)
        close(existing);
    if (!r->file)
        AbandonReplace(r);
    return r->file != NULL;
}

void AbandonReplace(Replacement* r)
{
    if (r->file)
        fclose(r->file);
    r->file = NULL;
    if (r->slot >= 0) {
        unlinkat(r->folder, r->temp, 0);
        SlotInUse[r->slot] = 0;
        r->slot = -1;
    }
    if (r->folder >= 0)
        close(r->folder);
    r->folder = -1;
}

// Flushes the temporary file to the disk with its final permission bits; a
// write that failed before fails it too, with its reason.
static int Flush(Replacement* r, Problem* problem)
{
    int ok = !ferror(r->file) && fchmod(fileno(r->file), r->mode) == 0 && fflush(r->file) == 0 && fsync(fileno(r->file)) == 0;
    if (!ok)
        NoteSystemError(problem);
    if (fclose(r->file) != 0 && ok)
        ok = 0, NoteSystemError(problem);
    r->file = NULL;
    return ok;
}

// Whether the name still names what begin looked at, or still nothing.
static int Unchanged(Replacement* r, Problem* problem)
{
    struct stat status;
    int found = fstatat(r->folder, r->name, &status, AT_SYMLINK_NOFOLLOW) == 0;
    if (r->exists ? found && static_cast<unsigned long long>(status.st_dev) == r->info.volume
                        && static_cast<unsigned long long>(status.st_ino) == r->info.index
                  : !found && errno == ENOENT)
        return 1;
    r->changed = 1;
    NoteReason(problem, ChangedWhileWorking);
    return 0;
}

enum { MOVED_NEW, MOVED_SWAPPED, MOVED_LINKED };

// Moves `r` into place so that the move can be taken back: the replaced file
// is swapped to the temporary name, or kept under a second hard link.
static int MoveKeeping(Replacement* r, char* backup, int* how, Problem* problem)
{
    *how = MOVED_NEW;
    if (r->exists) {
        *how = MOVED_SWAPPED;
        if (renameat2(r->folder, r->temp, r->folder, r->name, RENAME_EXCHANGE) == 0)
            return 1;
        if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
            return NoteSystemError(problem);
        *how = MOVED_LINKED;
        strcat(strcpy(backup, r->temp), "~"); // a temporary name is short
        if (linkat(r->folder, r->name, r->folder, backup, 0) != 0)
            return NoteSystemError(problem);
    }
    if (renameat(r->folder, r->temp, r->folder, r->name) == 0)
        return 1;
    NoteSystemError(problem);
    if (*how == MOVED_LINKED)
        unlinkat(r->folder, backup, 0);
    return 0;
}

static void TakeBack(Replacement* r, const char* backup, int how)
{
    if (how == MOVED_SWAPPED)
        renameat2(r->folder, r->temp, r->folder, r->name, RENAME_EXCHANGE);
    else if (how == MOVED_LINKED)
        renameat(r->folder, backup, r->folder, r->name);
    else
        unlinkat(r->folder, r->name, 0);
}

int CommitReplace(Replacement* first, Replacement* second, Replacement** failed, Problem* problem)
{
    // An interrupt between the two moves would leave one of them done.
    sigset_t interrupts, before;
    sigemptyset(&interrupts);
    const int signals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
    for (int signalNumber : signals)
        sigaddset(&interrupts, signalNumber);
    sigprocmask(SIG_BLOCK, &interrupts, &before);
    Replacement* all[2] = {first, second};
    int count = second ? 2 : 1;
    *failed = NULL;
    for (int i = 0; i < count && !*failed; i++)
        if (!Flush(all[i], problem))
            *failed = all[i];
    for (int i = 0; i < count && !*failed; i++)
        if (!Unchanged(all[i], problem))
            *failed = all[i];
    char backup[TEMP_PATH_SIZE] = "";
    int how = MOVED_NEW;
    if (!*failed && !second && renameat(first->folder, first->temp, first->folder, first->name) != 0) {
        NoteSystemError(problem);
        *failed = first;
    } else if (!*failed && second && !MoveKeeping(first, backup, &how, problem)) {
        *failed = first;
    } else if (!*failed && second) {
        if (renameat(second->folder, second->temp, second->folder, second->name) != 0) {
            NoteSystemError(problem);
            *failed = second;
            TakeBack(first, backup, how);
        } else if (how == MOVED_LINKED) {
            unlinkat(first->folder, backup, 0);
        }
    }
    // The new names are made durable too; what is left under a temporary
    // name (a result not moved, or a replaced file swapped out) goes.
    for (int i = 0; i < count; i++) {
        if (!*failed)
            fsync(all[i]->folder);
        AbandonReplace(all[i]);
    }
    sigprocmask(SIG_SETMASK, &before, NULL);
    return !*failed;
}
