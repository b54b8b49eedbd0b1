// The system's own functions behind `System` (system_calls.h).
#include "system_calls.h"

#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/xattr.h>
#include <unistd.h>

// The variadic calls, each with its optional argument always given.
static int Open(const char* path, int flags, mode_t mode)
{
    return open(path, flags, mode);
}

static int OpenAt(int folder, const char* path, int flags, mode_t mode)
{
    return openat(folder, path, flags, mode);
}

static int Control(int fd, int command, int argument)
{
    return fcntl(fd, command, argument);
}

constexpr SystemCalls SystemDefaults = {
    Open,      OpenAt,    close,      pread,      pwrite,   write,     lseek,           ftruncate,
    fsync,     fdatasync, fstat,      stat,       fstatat,  readlinkat, Control,        flock,
    linkat,    renameat,  renameat2,  unlinkat,   fchmod,   fchown,    flistxattr,      fgetxattr,
    fsetxattr, copy_file_range, sync_file_range, posix_fadvise,
};

SystemCalls System = SystemDefaults;
