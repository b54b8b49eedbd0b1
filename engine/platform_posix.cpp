#include "platform.h"

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <cerrno>
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

static const char* Reason;

// Keeps the system's words for errno, or `text` when the failure is ours.
static void NoteFailure(const char* text = NULL)
{
    Reason = text ? text : strerror(errno);
}

const char* SystemReason()
{
    return Reason;
}

static void FillInfo(const struct stat& status, FileInfo* info)
{
    info->regular = S_ISREG(status.st_mode);
    info->size = static_cast<long long>(status.st_size);
    info->volume = static_cast<unsigned long long>(status.st_dev);
    info->index = static_cast<unsigned long long>(status.st_ino);
}

int InspectOpenFile(FILE* file, FileInfo* info)
{
    struct stat status;
    if (fstat(fileno(file), &status) != 0)
        return 0;
    FillInfo(status, info);
    return 1;
}

FILE* OpenInputFile(const char* path, FileInfo* info)
{
    // Without O_NONBLOCK, opening a FIFO would wait for a writer for ever.
    int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        NoteFailure();
        return NULL;
    }
    struct stat status;
    FILE* file = NULL;
    if (fstat(fd, &status) != 0)
        NoteFailure();
    else if (!S_ISREG(status.st_mode))
        NoteFailure(S_ISDIR(status.st_mode) ? strerror(EISDIR) : "Not a regular file");
    else if (fcntl(fd, F_SETFL, 0) != 0 || !(file = fdopen(fd, "rb")))
        NoteFailure();
    if (!file) {
        close(fd);
        return NULL;
    }
    FillInfo(status, info);
    return file;
}

int ProbeWritablePath(const char* path, FileInfo* info, int* exists)
{
    struct stat status;
    *exists = stat(path, &status) == 0;
    // Only "nothing there" lets the checks pass; a failure to look is refused.
    if (!*exists) {
        NoteFailure();
        return errno == ENOENT;
    }
    FillInfo(status, info);
    if (!info->regular)
        return 0;
    int fd = open(path, O_WRONLY);
    if (fd < 0) {
        NoteFailure();
        return 0;
    }
    close(fd);
    return 1;
}

// Follows a chain of symbolic links from `path` to the name that a plain
// open for writing would write to, so that the patch replaces the link's
// target and the link stays a link. Returns 0 for a loop or a name too long.
static int FollowLinks(const char* path, char* target)
{
    if (strlen(path) >= TEMP_PATH_SIZE)
        return 0;
    strcpy(target, path);
    for (int hops = 0; hops < 40; hops++) {
        char link[TEMP_PATH_SIZE];
        ssize_t length = readlink(target, link, sizeof link);
        if (length < 0)
            return errno == EINVAL || errno == ENOENT; // not a link, or nothing there yet
        if (length == static_cast<ssize_t>(sizeof link))
            return 0;
        link[length] = '\0';
        // A relative link is relative to the folder that holds it.
        const char* slash = link[0] == '/' ? NULL : strrchr(target, '/');
        size_t folderLength = slash ? static_cast<size_t>(slash - target) + 1 : 0;
        if (folderLength + static_cast<size_t>(length) >= TEMP_PATH_SIZE)
            return 0;
        memcpy(target + folderLength, link, static_cast<size_t>(length) + 1);
    }
    return 0;
}

// A new file gets the mode of the one it will replace, or the usual mode
// for a new file under the current umask.
static mode_t ModeFor(const char* path)
{
    struct stat status;
    if (stat(path, &status) == 0)
        return status.st_mode & 0777; // never the setuid, setgid or sticky bit
    mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

// Temporary files not yet moved into place, for the signal handler. A slot
// is marked in use while mkstemp fills in its name; an unlink of the name
// half filled in finds nothing.
enum { PENDING_SLOTS = 2 };
static char PendingNames[PENDING_SLOTS][TEMP_PATH_SIZE];
static volatile sig_atomic_t PendingInUse[PENDING_SLOTS];

static void ForgetPending(const char* tempPath)
{
    for (int slot = 0; slot < PENDING_SLOTS; slot++)
        if (PendingInUse[slot] && strcmp(PendingNames[slot], tempPath) == 0)
            PendingInUse[slot] = 0;
}

static void RemovePendingAndReraise(int signalNumber)
{
    for (int slot = 0; slot < PENDING_SLOTS; slot++)
        if (PendingInUse[slot])
            unlink(PendingNames[slot]);
    signal(signalNumber, SIG_DFL);
    raise(signalNumber);
}

void RemoveTempsOnInterrupt()
{
    struct sigaction action = {};
    action.sa_handler = RemovePendingAndReraise;
    sigemptyset(&action.sa_mask);
    const int signals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
    for (int signalNumber : signals)
        sigaddset(&action.sa_mask, signalNumber);
    // A signal ignored at start (nohup, trap '') stays ignored.
    for (int signalNumber : signals) {
        struct sigaction before;
        if (sigaction(signalNumber, NULL, &before) == 0 && before.sa_handler != SIG_IGN)
            sigaction(signalNumber, &action, NULL);
    }
    // Past a file-size limit a write fails with EFBIG and is reported.
    signal(SIGXFSZ, SIG_IGN);
}

FILE* CreateTempBeside(const char* path, char* tempPath)
{
    static const char tempName[] = ".morvex-XXXXXX";
    char target[TEMP_PATH_SIZE];
    int slot = 0;
    while (slot < PENDING_SLOTS && PendingInUse[slot])
        slot++;
    if (slot == PENDING_SLOTS || !FollowLinks(path, target))
        return NULL;
    const char* slash = strrchr(target, '/');
    size_t folderLength = slash ? static_cast<size_t>(slash - target) + 1 : 0;
    if (folderLength + sizeof tempName > TEMP_PATH_SIZE)
        return NULL;
    char name[TEMP_PATH_SIZE];
    memcpy(name, target, folderLength);
    memcpy(name + folderLength, tempName, sizeof tempName);

    // The name is published to the signal handler only once the file exists,
    // so the handler never removes a name this process did not create.
    int fd = mkstemp(name);
    if (fd < 0) {
        NoteFailure();
        return NULL;
    }
    strcpy(PendingNames[slot], name);
    PendingInUse[slot] = 1;
    strcpy(tempPath, name);
    FILE* file = NULL;
    if (fchmod(fd, ModeFor(target)) == 0)
        file = fdopen(fd, "wb");
    if (!file) {
        close(fd);
        RemoveTemp(tempPath);
    }
    return file;
}

void RemoveTemp(const char* tempPath)
{
    unlink(tempPath);
    ForgetPending(tempPath);
}

int CommitFile(FILE* file)
{
    int ok = fflush(file) == 0 && fsync(fileno(file)) == 0;
    return fclose(file) == 0 && ok;
}

int MoveTempOver(const char* tempPath, const char* path)
{
    char target[TEMP_PATH_SIZE];
    if (!FollowLinks(path, target) || rename(tempPath, target) != 0)
        return 0;
    ForgetPending(tempPath);
    return 1;
}

long ReadAt(FILE* file, void* buffer, size_t length, long long offset)
{
    size_t total = 0;
    while (total < length) {
        ssize_t got = pread(fileno(file), static_cast<char*>(buffer) + total, length - total,
                            static_cast<off_t>(offset + static_cast<long long>(total)));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return -1;
        if (got == 0)
            break;
        total += static_cast<size_t>(got);
    }
    return static_cast<long>(total);
}

int AppendFileRange(FILE* from, long long offset, long long length, FILE* to)
{
    static char buffer[1 << 16];
    if (fflush(to) != 0)
        return 0;
    off_t at = static_cast<off_t>(offset);
    long long end = offset + length;
    while (at < end) {
        ssize_t copied = copy_file_range(fileno(from), &at, fileno(to), NULL, static_cast<size_t>(end - at), 0);
        if (copied > 0)
            continue;
        if (copied == 0 || (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP))
            return 0;
        // Where the system cannot copy between these two files, copy here.
        size_t piece = static_cast<size_t>(std::min<long long>(end - at, sizeof buffer));
        if (ReadAt(from, buffer, piece, at) != static_cast<long>(piece) || write(fileno(to), buffer, piece) != static_cast<ssize_t>(piece))
            return 0;
        at += static_cast<off_t>(piece);
    }
    return 1;
}

struct ThreadStart {
    void (*work)(void*);
    void* argument;
};

static void* RunThread(void* start)
{
    ThreadStart* thread = static_cast<ThreadStart*>(start);
    thread->work(thread->argument);
    return NULL;
}

void RunInParallel(void (*work)(void*), void* first, void* second)
{
    ThreadStart start = {work, first};
    pthread_t thread;
    int started = pthread_create(&thread, NULL, RunThread, &start) == 0;
    if (!started)
        work(first);
    work(second);
    if (started)
        pthread_join(thread, NULL);
}
