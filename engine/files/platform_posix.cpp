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

void RemoveTempsInFlight();

int NoteSystemError(Problem* problem)
{
    return NoteError(problem, errno);
}

const char* ProblemReason(const Problem& problem, char*, size_t)
{
    return problem.error ? strerror(problem.error) : problem.reason;
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

FILE* OpenInputFile(const char* path, FileInfo* info, Problem* problem)
{
    // Without O_NONBLOCK, opening a FIFO would wait for a writer for ever.
    int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return NoteSystemError(problem), nullptr;
    struct stat status;
    FILE* file = NULL;
    if (fstat(fd, &status) != 0)
        NoteSystemError(problem);
    else if (!S_ISREG(status.st_mode))
        S_ISDIR(status.st_mode) ? NoteError(problem, EISDIR) : NoteReason(problem, "Not a regular file");
    else if (fcntl(fd, F_SETFL, 0) != 0 || !(file = fdopen(fd, "rb")))
        NoteSystemError(problem);
    if (!file) {
        close(fd);
        return NULL;
    }
    FillInfo(status, info);
    return file;
}

static void RemoveTempsAndReraise(int signalNumber)
{
    RemoveTempsInFlight();
    signal(signalNumber, SIG_DFL);
    raise(signalNumber);
}

void RemoveTempsOnInterrupt()
{
    struct sigaction action = {};
    action.sa_handler = RemoveTempsAndReraise;
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
        size_t step = static_cast<size_t>(std::min<long long>(end - at, 16 << 20));
        ssize_t copied = copy_file_range(fileno(from), &at, fileno(to), NULL, step, 0);
        // The disk starts on what is copied while the rest is copied, so
        // that the final flush has less to wait for; only a hint.
        if (copied > 0) {
            sync_file_range(fileno(to), 0, 0, SYNC_FILE_RANGE_WRITE);
            continue;
        }
        if (copied == 0)
            return -1;
        if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP)
            return 0;
        // Where the system cannot copy between these two files, copy here.
        size_t piece = static_cast<size_t>(std::min<long long>(end - at, sizeof buffer));
        long got = ReadAt(from, buffer, piece, at);
        if (got != static_cast<long>(piece))
            return got < 0 ? 0 : -1;
        if (write(fileno(to), buffer, piece) != static_cast<ssize_t>(piece))
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
