// The temporary file beside a destination, and the signals that must not
// leave one behind.
#include "replace_posix.h"

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

// Named temporary files in flight, for the signal handler. A slot is taken
// before its file is created and given up once the file is gone, with
// signals held both times, so the handler removes exactly what we created.
enum { SLOTS = 4 };
static int SlotFolder[SLOTS];
static char SlotName[SLOTS][TEMP_PATH_SIZE];
static volatile sig_atomic_t SlotInUse[SLOTS];
// A thread's signal mask is its own, and so is how deep it holds them.
static thread_local sigset_t HeldFrom;
static thread_local int HoldDepth;

static void RemoveTempsAndReraise(int signalNumber)
{
    for (int slot = 0; slot < SLOTS; slot++)
        if (SlotInUse[slot])
            System.unlinkat(SlotFolder[slot], SlotName[slot], 0);
    signal(signalNumber, SIG_DFL);
    raise(signalNumber);
}

// A signal ignored at start (nohup, trap '') stays ignored, and one the
// runtime already handles (a sanitizer's) keeps its handler.
static void CatchIfDefault(int signalNumber)
{
    struct sigaction before, action = {};
    action.sa_handler = RemoveTempsAndReraise;
    sigfillset(&action.sa_mask);
    if (sigaction(signalNumber, NULL, &before) == 0 && before.sa_handler == SIG_DFL)
        sigaction(signalNumber, &action, NULL);
}

void RemoveTempsOnInterrupt()
{
    // Every signal whose default action ends the process, but SIGXFSZ: past
    // a file-size limit a write fails with EFBIG and is reported.
    static const int signals[] = {SIGHUP,  SIGINT,  SIGQUIT, SIGILL,  SIGTRAP, SIGABRT, SIGBUS,
                                  SIGFPE,  SIGUSR1, SIGSEGV, SIGUSR2, SIGPIPE, SIGALRM, SIGTERM,
                                  SIGXCPU, SIGVTALRM, SIGPROF, SIGIO, SIGSYS,
#ifdef SIGSTKFLT
                                  SIGSTKFLT,
#endif
#ifdef SIGPWR
                                  SIGPWR,
#endif
    };
    for (int signalNumber : signals)
        CatchIfDefault(signalNumber);
    for (int signalNumber = SIGRTMIN; signalNumber <= SIGRTMAX; signalNumber++)
        CatchIfDefault(signalNumber);
    signal(SIGXFSZ, SIG_IGN);
}

void HoldInterrupts()
{
    sigset_t all, before;
    sigfillset(&all);
    pthread_sigmask(SIG_BLOCK, &all, &before);
    if (HoldDepth++ == 0)
        HeldFrom = before;
}

void ReleaseInterrupts()
{
    if (--HoldDepth == 0)
        pthread_sigmask(SIG_SETMASK, &HeldFrom, NULL);
}

// A name from the time, the process, the attempt and where the name is kept
// (two threads' names apart): O_EXCL refuses one taken.
static void FreshName(char* name, unsigned attempt)
{
    static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    unsigned long value = static_cast<unsigned long>(now.tv_nsec) ^ (static_cast<unsigned long>(getpid()) << 16);
    value += 7919UL * (attempt + 1) + reinterpret_cast<uintptr_t>(name);
    strcpy(name, ".morvex-XXXXXX");
    for (int i = 8; i < 14; i++, value /= 62)
        name[i] = letters[value % 62];
}

// Where the file system allows, the file has no name until the commit gives
// it one (through /proc, which must be there), so that nothing is left
// whatever ends the process; else it gets a fresh name at once.
int CreateTemp(Replacement* r, Problem* problem)
{
    r->temp[0] = '\0';
    int fd = System.openat(r->folder, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0) {
        char self[32];
        struct stat status;
        snprintf(self, sizeof self, "/proc/self/fd/%d", fd);
        if (System.stat(self, &status) == 0)
            return fd;
        System.close(fd);
    }
    int slot = 0;
    while (slot < SLOTS && SlotInUse[slot])
        slot++;
    if (slot == SLOTS)
        return NoteError(problem, EMFILE), -1;
    int error = EEXIST;
    for (int attempt = 0; attempt < 100 && error == EEXIST; attempt++) {
        FreshName(r->temp, static_cast<unsigned>(attempt));
        HoldInterrupts();
        SlotFolder[slot] = r->folder;
        strcpy(SlotName[slot], r->temp);
        SlotInUse[slot] = 1;
        fd = System.openat(r->folder, r->temp, O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        error = errno;
        SlotInUse[slot] = fd >= 0;
        ReleaseInterrupts();
        if (fd >= 0) {
            r->slot = slot;
            return fd;
        }
    }
    r->temp[0] = '\0';
    NoteError(problem, error);
    return -1;
}

int LinkTemp(Replacement* r, const char* name, Problem* problem)
{
    char self[32];
    snprintf(self, sizeof self, "/proc/self/fd/%d", fileno(r->file));
    for (int attempt = 0; attempt < 100; attempt++) {
        if (!name)
            FreshName(r->temp, static_cast<unsigned>(attempt));
        if (System.linkat(AT_FDCWD, self, r->folder, name ? name : r->temp, AT_SYMLINK_FOLLOW) == 0)
            return 1;
        if (name || errno != EEXIST)
            break;
    }
    NoteSystemError(problem);
    r->temp[0] = '\0';
    return 0;
}

void DropTemp(Replacement* r)
{
    if (r->file)
        fclose(r->file);
    r->file = NULL;
    HoldInterrupts();
    if (r->temp[0])
        System.unlinkat(r->folder, r->temp, 0);
    r->temp[0] = '\0';
    if (r->slot >= 0)
        SlotInUse[r->slot] = 0;
    r->slot = -1;
    ReleaseInterrupts();
}
