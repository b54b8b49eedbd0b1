// Writing a file where it lies, and its journal beside it (see in_place.h).
#include "in_place.h"
#include "journal.h"
#include "replace_posix.h"
#include "system_calls.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

static const char Capability[] = "security.capability";

static int Privileges(int fd)
{
    struct stat status;
    int bits = System.fstat(fd, &status) == 0 ? static_cast<int>(status.st_mode & (S_ISUID | S_ISGID)) : 0;
    return bits | (System.fgetxattr(fd, Capability, NULL, 0) >= 0 ? 1 : 0);
}

// Opens the file for reading and writing, refusing anything but a plain
// file; ETXTBSY is told apart, as a file to patch through a copy.
static int OpenForWriting(const char* path, InPlace* place, Problem* problem)
{
    int fd = System.open(path, O_RDWR | O_NONBLOCK | O_CLOEXEC, 0);
    if (fd < 0)
        return errno == ETXTBSY ? IN_PLACE_BUSY : NoteSystemError(problem);
    struct stat status;
    if (System.fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || System.fcntl(fd, F_SETFL, 0) != 0
        || !(place->file = fdopen(fd, "r+b"))) {
        S_ISREG(status.st_mode) ? NoteSystemError(problem) : NoteReason(problem, "Not a regular file");
        System.close(fd);
        return 0;
    }
    StatInfo(status, &place->info);
    return 1;
}

// Takes the lock a second Morvex waits for; a file system that has none
// (ENOLCK over NFS, for one) leaves the file unlocked and says so.
static void Lock(InPlace* place)
{
    int locked;
    while ((locked = System.flock(fileno(place->file), LOCK_EX)) != 0 && errno == EINTR) {
    }
    place->unlocked = locked != 0;
}

// Holds the folder of the file's final name, links followed as the open
// followed them, and derives the journal's name. The folder must be open
// for reading so that it can be flushed: one held only by O_PATH is refused.
static int HoldFolder(const char* path, InPlace* place, Problem* problem)
{
    Replacement resolved; // a few pages, on the stack
    struct stat status;
    memset(&resolved, 0, sizeof resolved);
    resolved.folder = -1;
    int held = ResolveDestination(path, &resolved, &status, problem);
    place->folder = resolved.folder;
    if (!held)
        return 0;
    int flags = System.fcntl(place->folder, F_GETFL, 0);
    if (flags >= 0 && (flags & O_PATH))
        place->folderless = 2;
    if (flags < 0 || (flags & O_PATH))
        return flags < 0 ? NoteSystemError(problem) : NoteError(problem, EACCES);
    strcpy(place->name, resolved.name);
    JournalName(place->name, 1, place->journal, sizeof place->journal);
    size_t length = strlen(resolved.where);
    snprintf(place->journalPath, sizeof place->journalPath, "%s%s%s", resolved.where,
             length && resolved.where[length - 1] == '/' ? "" : "/", place->journal);
    return 1;
}

int StillInPlace(InPlace* place, Problem* problem)
{
    struct stat named, opened;
    if (System.fstatat(place->folder, place->name, &named, AT_SYMLINK_NOFOLLOW) == 0 && System.fstat(fileno(place->file), &opened) == 0
        && named.st_dev == opened.st_dev && named.st_ino == opened.st_ino && opened.st_size == place->info.size)
        return 1;
    return NoteReason(problem, ChangedWhileWorking);
}

int OpenInPlace(const char* path, InPlace* place, Problem* problem)
{
    memset(place, 0, sizeof *place);
    place->folder = -1;
    // The Morvex that held the lock may have replaced the file meanwhile
    // (through a copy): then the name leads to its result, the one to patch.
    for (int attempt = 0;; attempt++) {
        int opened = OpenForWriting(path, place, problem);
        if (opened != 1)
            return opened;
        Lock(place);
        if (!HoldFolder(path, place, problem)) {
            place->folderless = place->folderless ? place->folderless : 1;
            CloseInPlace(place);
            return 0;
        }
        struct stat status;
        if (System.fstat(fileno(place->file), &status) == 0)
            StatInfo(status, &place->info);
        place->info.held = !place->unlocked;
        place->privileges = Privileges(fileno(place->file));
        if (attempt == 9 || StillInPlace(place, problem))
            return 1;
        CloseInPlace(place);
    }
}

int HoldJournalFolder(const char* path, InPlace* place, Problem* problem)
{
    memset(place, 0, sizeof *place);
    place->folder = -1;
    return HoldFolder(path, place, problem);
}

void CloseInPlace(InPlace* place)
{
    if (place->file)
        fclose(place->file);
    if (place->folder >= 0)
        System.close(place->folder);
    place->file = NULL;
    place->folder = -1;
}

static int WriteAll(int fd, const void* bytes, size_t length, long long offset)
{
    for (size_t done = 0; done < length;) {
        ssize_t wrote = offset < 0 ? System.write(fd, static_cast<const char*>(bytes) + done, length - done)
                                   : System.pwrite(fd, static_cast<const char*>(bytes) + done, length - done,
                                            static_cast<off_t>(offset + static_cast<long long>(done)));
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote == 0)
            errno = ENOSPC;
        if (wrote <= 0)
            return 0;
        done += static_cast<size_t>(wrote);
    }
    return 1;
}

int WriteInPlace(InPlace* place, const void* bytes, size_t length, long long offset, Problem* problem)
{
    return WriteAll(fileno(place->file), bytes, length, offset) ? 1 : NoteSystemError(problem);
}

int FlushInPlace(InPlace* place, Problem* problem)
{
    return System.fdatasync(fileno(place->file)) == 0 ? 1 : NoteSystemError(problem);
}

int LostPrivileges(InPlace* place)
{
    return place->privileges & ~Privileges(fileno(place->file));
}

int ReadJournalFile(InPlace* place, unsigned char* bytes, size_t size, long* length, Problem* problem)
{
    *length = -1;
    int fd = System.openat(place->folder, place->journal, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0);
    if (fd < 0)
        return errno == ENOENT ? 0 : (NoteSystemError(problem), -1);
    struct stat status;
    int regular = System.fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
    size_t total = 0;
    ssize_t got = 1;
    while (regular && got != 0 && total <= size) {
        char extra;
        off_t at = static_cast<off_t>(total);
        got = total < size ? System.pread(fd, bytes + total, size - total, at) : System.pread(fd, &extra, 1, at);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            NoteSystemError(problem);
            System.close(fd);
            return -1;
        }
        total += static_cast<size_t>(got);
    }
    System.close(fd);
    if (!regular)
        return NoteReason(problem, "Not a regular file"), -1;
    *length = static_cast<long>(total);
    return 1;
}

// Where the file system allows, the journal is created without a name and
// linked at its name once whole and flushed, so that no part of one is ever
// seen there; else it is written at its name, and a journal cut short is
// one the next run knows was never used.
int WriteJournalFile(InPlace* place, const unsigned char* bytes, size_t length, Problem* problem)
{
    int fd = System.openat(place->folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    int unnamed = fd >= 0;
    if (!unnamed)
        fd = System.openat(place->folder, place->journal, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return NoteSystemError(problem);
    int named = !unnamed;
    int done = WriteAll(fd, bytes, length, -1) && System.fdatasync(fd) == 0;
    if (done && unnamed) {
        char self[32];
        snprintf(self, sizeof self, "/proc/self/fd/%d", fd);
        named = done = System.linkat(AT_FDCWD, self, place->folder, place->journal, AT_SYMLINK_FOLLOW) == 0;
    }
    done = done && System.fsync(place->folder) == 0;
    if (!done)
        NoteSystemError(problem);
    System.close(fd);
    // A whole journal left at its name would be finished by the next run.
    if (!done && named && System.unlinkat(place->folder, place->journal, 0) == 0)
        System.fsync(place->folder);
    return done;
}

int RemoveJournalFile(InPlace* place, Problem* problem)
{
    if (System.unlinkat(place->folder, place->journal, 0) != 0)
        return NoteSystemError(problem);
    return System.fsync(place->folder) == 0 ? 1 : (NoteSystemError(problem), -1);
}

int AbsolutePath(const char* path, char* out, size_t size, Problem* problem)
{
    char folder[PATH_MAX];
    if (path[0] != '/' && !getcwd(folder, sizeof folder))
        return NoteSystemError(problem);
    int length = path[0] == '/' ? snprintf(out, size, "%s", path) : snprintf(out, size, "%s/%s", folder, path);
    return length >= 0 && static_cast<size_t>(length) < size ? 1 : NoteError(problem, ENAMETOOLONG);
}

static void UndoTempName(const char* undoName, char* out, size_t size)
{
    snprintf(out, size, ".%.200s.morvex-undo", undoName);
}

int NameUndoTemp(Replacement* undo, Problem* problem)
{
    if (!undo->exists || undo->temp[0])
        return 1;
    UndoTempName(undo->name, undo->temp, sizeof undo->temp);
    System.unlinkat(undo->folder, undo->temp, 0);
    return LinkTemp(undo, undo->temp, problem);
}

void RemoveUndoTemp(const char* undoPath)
{
    Replacement undo;
    struct stat status;
    Problem ignored;
    memset(&undo, 0, sizeof undo);
    undo.folder = -1;
    if (ResolveDestination(undoPath, &undo, &status, &ignored)) {
        UndoTempName(undo.name, undo.temp, sizeof undo.temp);
        if (System.unlinkat(undo.folder, undo.temp, 0) == 0)
            System.fsync(undo.folder);
    }
    if (undo.folder >= 0)
        System.close(undo.folder);
}
