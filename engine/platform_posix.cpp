#include "platform.h"

#include <cstdlib>
#include <cstring>
#include <cerrno>
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

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

int ProbeWritablePath(const char* path, FileInfo* info, int* exists)
{
    struct stat status;
    *exists = stat(path, &status) == 0;
    if (!*exists)
        return 1;
    FillInfo(status, info);
    if (!info->regular)
        return 0;
    int fd = open(path, O_WRONLY);
    if (fd < 0)
        return 0;
    close(fd);
    return 1;
}

// A new file gets the mode of the one it will replace, or the usual mode
// for a new file under the current umask.
static mode_t ModeFor(const char* path)
{
    struct stat status;
    if (stat(path, &status) == 0)
        return status.st_mode & 07777;
    mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

FILE* CreateTempBeside(const char* path, char* tempPath)
{
    static const char tempName[] = ".morvex-XXXXXX";
    const char* slash = strrchr(path, '/');
    size_t folderLength = slash ? static_cast<size_t>(slash - path) + 1 : 0;
    if (folderLength + sizeof tempName > TEMP_PATH_SIZE)
        return NULL;
    memcpy(tempPath, path, folderLength);
    memcpy(tempPath + folderLength, tempName, sizeof tempName);

    int fd = mkstemp(tempPath);
    if (fd < 0)
        return NULL;
    FILE* file = NULL;
    if (fchmod(fd, ModeFor(path)) == 0)
        file = fdopen(fd, "wb");
    if (!file) {
        close(fd);
        unlink(tempPath);
    }
    return file;
}

int CommitFile(FILE* file)
{
    int ok = fflush(file) == 0 && fsync(fileno(file)) == 0;
    return fclose(file) == 0 && ok;
}

int MoveTempOver(const char* tempPath, const char* path)
{
    return rename(tempPath, path) == 0;
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
