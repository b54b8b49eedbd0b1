#include "platform.h"
#include "replace_posix.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

int NoteSystemError(Problem* problem)
{
    return NoteError(problem, errno);
}

const char* ProblemReason(const Problem& problem, char*, size_t)
{
    return problem.error ? strerror(problem.error) : problem.reason;
}

static long long Nanoseconds(const struct timespec& time)
{
    return static_cast<long long>(time.tv_sec) * 1000000000 + time.tv_nsec;
}

void StatInfo(const struct stat& status, FileInfo* info)
{
    info->regular = S_ISREG(status.st_mode);
    info->size = static_cast<long long>(status.st_size);
    info->volume = static_cast<unsigned long long>(status.st_dev);
    info->index = static_cast<unsigned long long>(status.st_ino);
    info->modified = Nanoseconds(status.st_mtim);
    info->changed = Nanoseconds(status.st_ctim);
    info->held = 0;
}

int InspectOpenFile(FILE* file, FileInfo* info)
{
    struct stat status;
    if (System.fstat(fileno(file), &status) != 0)
        return 0;
    StatInfo(status, info);
    return 1;
}

FILE* OpenInputFile(const char* path, FileInfo* info, Problem* problem)
{
    // Without O_NONBLOCK, opening a FIFO would wait for a writer for ever.
    int fd = System.open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC, 0);
    if (fd < 0)
        return NoteSystemError(problem), nullptr;
    struct stat status;
    FILE* file = NULL;
    if (System.fstat(fd, &status) != 0)
        NoteSystemError(problem);
    else if (!S_ISREG(status.st_mode))
        S_ISDIR(status.st_mode) ? NoteError(problem, EISDIR) : NoteReason(problem, "Not a regular file");
    else if (System.fcntl(fd, F_SETFL, 0) != 0 || !(file = fdopen(fd, "rb")))
        NoteSystemError(problem);
    if (!file) {
        System.close(fd);
        return NULL;
    }
    StatInfo(status, info);
    return file;
}

FILE* OpenFileToReplace(const char* path, FileInfo* info, Problem* problem)
{
    for (int attempt = 0;; attempt++) {
        FILE* file = OpenInputFile(path, info, problem);
        if (!file)
            return NULL;
        int locked;
        while ((locked = System.flock(fileno(file), LOCK_EX)) != 0 && errno == EINTR) {
        }
        // The Morvex that held the lock may have replaced the file meanwhile:
        // then the name leads to its result, which is the one to read.
        struct stat opened, named;
        if (System.fstat(fileno(file), &opened) != 0) {
            NoteSystemError(problem);
            fclose(file);
            return NULL;
        }
        if (attempt == 9 || (System.stat(path, &named) == 0 && named.st_dev == opened.st_dev && named.st_ino == opened.st_ino)) {
            StatInfo(opened, info);
            info->held = locked == 0;
            return file;
        }
        fclose(file);
    }
}

long ReadAt(FILE* file, void* buffer, size_t length, long long offset)
{
    size_t total = 0;
    while (total < length) {
        ssize_t got = System.pread(fileno(file), static_cast<char*>(buffer) + total, length - total,
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

void WillRead(FILE* file, long long offset, long long length)
{
    System.posix_fadvise(fileno(file), static_cast<off_t>(offset), static_cast<off_t>(length), POSIX_FADV_WILLNEED);
}

FILE* SecondReader(FILE* file)
{
    return file;
}

void CloseSecondReader(FILE*, FILE*) {}

// Copies [at, end) of `from`, which holds data there, to the position of `to`.
static int CopyData(int from, off_t at, long long end, int to)
{
    char buffer[1 << 16];
    while (at < end) {
        size_t step = static_cast<size_t>(std::min<long long>(end - at, 16 << 20));
        ssize_t copied = System.copy_file_range(from, &at, to, NULL, step, 0);
        // The disk starts on what is copied while the rest is copied, so
        // that the final flush has less to wait for; only a hint.
        if (copied > 0) {
            System.sync_file_range(to, 0, 0, SYNC_FILE_RANGE_WRITE);
            continue;
        }
        if (copied == 0)
            return -1;
        if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP)
            return 0;
        // Where the system cannot copy between these two files, copy here.
        size_t piece = static_cast<size_t>(std::min<long long>(end - at, sizeof buffer));
        ssize_t got = System.pread(from, buffer, piece, at);
        if (got < 0 && errno == EINTR)
            continue;
        if (got != static_cast<ssize_t>(piece))
            return got < 0 ? 0 : -1;
        if (System.write(to, buffer, piece) != static_cast<ssize_t>(piece))
            return 0;
        at += static_cast<off_t>(piece);
    }
    return 1;
}

// Where the next data (or hole) of `fd` begins at or after `at`: `at` itself
// where the system cannot tell holes, the file's end where nothing follows,
// or -1 on an error.
static long long Seek(int fd, long long at, int whence)
{
    off_t found = System.lseek(fd, static_cast<off_t>(at), whence);
    struct stat status;
    if (found >= 0)
        return found;
    if (errno != ENXIO)
        return whence == SEEK_DATA ? at : LLONG_MAX;
    return System.fstat(fd, &status) == 0 ? std::max<long long>(at, status.st_size) : -1;
}

int AppendFileRange(FILE* from, long long offset, long long length, FILE* to)
{
    if (fflush(to) != 0)
        return 0;
    int in = fileno(from), out = fileno(to), endsInHole = 0;
    for (long long at = offset, end = offset + length; at < end;) {
        long long data = Seek(in, at, SEEK_DATA);
        if (data < 0)
            return 0;
        // A hole of the source stays one: the output's position moves past it.
        if (data > at) {
            long long skip = std::min(data, end) - at;
            if (System.lseek(out, static_cast<off_t>(skip), SEEK_CUR) < 0)
                return 0;
            at += skip, endsInHole = 1;
            continue;
        }
        long long hole = Seek(in, at, SEEK_HOLE);
        long long stop = hole > at ? std::min(hole, end) : end;
        int copied = hole < 0 ? 0 : CopyData(in, static_cast<off_t>(at), stop, out);
        if (copied != 1)
            return copied;
        at = stop, endsInHole = 0;
    }
    // A hole at the end gives the output its length without data.
    off_t size = endsInHole ? System.lseek(out, 0, SEEK_CUR) : 0;
    return size >= 0 && (!endsInHole || System.ftruncate(out, size) == 0);
}
