// A power cut at each flush of an apply in place: every write not yet
// flushed is lost, file data and folder entries alike, as the test's own
// layer over the system-call table takes them back; then check says one of
// the three states, and one more apply reaches the file patched with its
// exact undo patch.
#include "patch_apply.h"
#include "system_calls.h"
#include "system_faults.h"
#include "test_files.h"

#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

// What a flush would make durable, and how to take it back.
struct DataWrite {
    int fd; // a duplicate, so that it outlives the engine's own
    long long offset;
    std::string old;
    long long cutTo; // the size to cut the file back to, or -1
};
struct NameChange {
    int folder, fromFolder; // duplicates
    std::string name, from, backup; // added: name; removed: name kept as backup; moved: from -> name, backup the one replaced
};
static std::vector<DataWrite> Data;
static std::vector<NameChange> Names;
static int FlushesLeft, Backups;

static ino_t Inode(int fd)
{
    struct stat status;
    return fstat(fd, &status) == 0 ? status.st_ino : 0;
}

// Keeps what is at `name` under a backup name, to put back; "" when nothing is there.
static std::string Keep(int folder, const char* name)
{
    std::string backup = ".cut-" + std::to_string(++Backups);
    return SystemDefaults.linkat(folder, name, folder, backup.c_str(), 0) == 0 ? backup : "";
}

[[noreturn]] static void CutThePower()
{
    for (auto change = Names.rbegin(); change != Names.rend(); ++change) {
        if (!change->from.empty())
            SystemDefaults.renameat(change->folder, change->name.c_str(), change->fromFolder, change->from.c_str());
        else if (change->backup.empty())
            SystemDefaults.unlinkat(change->folder, change->name.c_str(), 0);
        if (!change->backup.empty())
            SystemDefaults.renameat(change->folder, change->backup.c_str(), change->folder, change->name.c_str());
    }
    for (auto write = Data.rbegin(); write != Data.rend(); ++write) {
        SystemDefaults.pwrite(write->fd, write->old.data(), write->old.size(), write->offset);
        if (write->cutTo >= 0)
            SystemDefaults.ftruncate(write->fd, write->cutTo);
    }
    _exit(CRASHED);
}

static int Flush(int fd, int (*real)(int))
{
    if (--FlushesLeft == 0)
        CutThePower();
    int done = real(fd);
    ino_t inode = Inode(fd);
    struct stat status;
    int folder = fstat(fd, &status) == 0 && S_ISDIR(status.st_mode);
    for (size_t i = folder ? Names.size() : Data.size(); done == 0 && i-- > 0;) {
        if (folder && Inode(Names[i].folder) == inode) {
            if (!Names[i].backup.empty())
                SystemDefaults.unlinkat(Names[i].folder, Names[i].backup.c_str(), 0);
            Names.erase(Names.begin() + static_cast<long>(i));
        } else if (!folder && Inode(Data[i].fd) == inode) {
            Data.erase(Data.begin() + static_cast<long>(i));
        }
    }
    return done;
}

static void PutLayer(int cutAt)
{
    Data.clear(), Names.clear();
    FlushesLeft = cutAt;
    System = SystemDefaults;
    System.pwrite = [](int fd, const void* bytes, size_t length, off_t at) {
        std::string old(length, '\0');
        ssize_t got = SystemDefaults.pread(fd, &old[0], length, at);
        old.resize(got > 0 ? static_cast<size_t>(got) : 0);
        Data.push_back({dup(fd), at, old, got < static_cast<ssize_t>(length) ? at + (got > 0 ? got : 0) : -1});
        return SystemDefaults.pwrite(fd, bytes, length, at);
    };
    System.write = [](int fd, const void* bytes, size_t length) {
        off_t at = lseek(fd, 0, SEEK_CUR);
        Data.push_back({dup(fd), at, "", at});
        return SystemDefaults.write(fd, bytes, length);
    };
    System.fsync = [](int fd) { return Flush(fd, SystemDefaults.fsync); };
    System.fdatasync = [](int fd) { return Flush(fd, SystemDefaults.fdatasync); };
    System.linkat = [](int fromFolder, const char* from, int folder, const char* name, int flags) {
        int done = SystemDefaults.linkat(fromFolder, from, folder, name, flags);
        if (done == 0)
            Names.push_back({dup(folder), -1, name, "", ""});
        return done;
    };
    System.unlinkat = [](int folder, const char* name, int flags) {
        std::string backup = Keep(folder, name);
        int done = SystemDefaults.unlinkat(folder, name, flags);
        if (done == 0 && !backup.empty())
            Names.push_back({dup(folder), -1, name, "", backup});
        else if (!backup.empty())
            SystemDefaults.unlinkat(folder, backup.c_str(), 0);
        return done;
    };
    System.renameat = [](int fromFolder, const char* from, int folder, const char* name) {
        std::string backup = Keep(folder, name);
        int done = SystemDefaults.renameat(fromFolder, from, folder, name);
        if (done == 0)
            Names.push_back({dup(folder), dup(fromFolder), name, from, backup});
        return done;
    };
}

class PowerCutTest : public FaultsTest {};

TEST_F(PowerCutTest, AtEveryFlushOneMoreApplyReachesAWholeState)
{
    const std::string patch = std::string("GAME.EXE\0\0\0\0\0", 13) + Count(2) + Record(1, '\xaa') + Record(3, '\xbb');
    const std::string undo = std::string("GAME.EXE\0\0\0\0\0", 13) + Count(2) + Record(1, '\x11') + Record(3, '\x33')
                             + "undoes p";
    const std::string original("\x00\x11\x22\x33", 4), patched("\x00\xaa\x22\xbb", 4);
    auto reset = [&] {
        for (const std::string& name : Listing())
            fs::remove(name);
        WriteBytes("p", patch);
        WriteBytes("game.exe", original);
        WriteBytes("u", "old");
    };
    PatchFit fit;
    Problem problem;
    reset();
    ArmFaults(nullptr);
    ASSERT_EQ(ApplyPatch("p", "game.exe", nullptr, "u", 0, 0, 0, nullptr, &fit, &problem), 1);
    int flushes = CallsMade("fsync") + CallsMade("fdatasync");
    DisarmFaults();
    ASSERT_GE(flushes, 6);
    for (int cut = 1; cut <= flushes; cut++) {
        reset();
        EXPECT_EXIT((PutLayer(cut), ApplyPatch("p", "game.exe", nullptr, "u", 0, 0, 0, nullptr, &fit, &problem)),
                    ::testing::ExitedWithCode(CRASHED), "") << cut;
        System = SystemDefaults;
        PatchContents contents;
        ASSERT_EQ(CheckPatch("p", "game.exe", 0, 0, 0, &contents, &fit, &problem), 1) << cut;
        std::string file = ReadBytes("game.exe"), kept = ReadBytes("u");
        int state = fit.journal == JOURNAL_INTERRUPTED ? 1
                    : file == original && kept == "old" ? 0
                    : file == patched && kept == undo   ? 2
                                                        : -1;
        EXPECT_NE(state, -1) << "cut at flush " << cut;
        EXPECT_EQ(ApplyPatch("p", "game.exe", nullptr, state == 2 ? nullptr : "u", 0, 0, 0, nullptr, &fit, &problem), 1)
            << cut;
        EXPECT_EQ(ReadBytes("game.exe") + ReadBytes("u"), patched + undo) << "cut at flush " << cut;
        EXPECT_EQ(Listing(), (Messages{"game.exe", "p", "u"})) << "cut at flush " << cut;
    }
}
