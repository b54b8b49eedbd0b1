// A power cut at each flush of an apply in place: what no flush made durable
// is lost, file data and folder entries alike. The test's own layer over the
// system-call table keeps what each flush made durable (a file's bytes, the
// folder's names) and at the cut puts the folder back to that; then check
// says one of the three states, and one more apply reaches the file patched
// with its exact undo patch.
#include "system_faults.h"

#include <filesystem>
#include <map>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

static std::map<ino_t, std::string> Durable;     // each file's bytes as last flushed
static std::map<std::string, ino_t> DurableNames; // the folder's names as last flushed
static int FlushesLeft;

static ino_t Inode(const std::string& path)
{
    struct stat status;
    return stat(path.c_str(), &status) == 0 ? status.st_ino : 0;
}

static void KeepNames()
{
    DurableNames.clear();
    for (const auto& entry : fs::directory_iterator("."))
        DurableNames[entry.path().filename().string()] = Inode(entry.path().string());
}

// Every file still there is held by its inode while the names go; each name
// last flushed comes back to its file, which holds its bytes as last flushed.
[[noreturn]] static void CutThePower()
{
    std::vector<std::string> held;
    for (const fs::path& name : std::vector<fs::path>(fs::directory_iterator("."), {})) {
        held.push_back(".cut-" + std::to_string(Inode(name.string())));
        link(name.c_str(), held.back().c_str());
        fs::remove(name);
    }
    for (const auto& [name, inode] : DurableNames) {
        link((".cut-" + std::to_string(inode)).c_str(), name.c_str());
        WriteBytes(name, Durable[inode]);
    }
    for (const std::string& name : held)
        unlink(name.c_str());
    _exit(CRASHED);
}

static int Flush(int fd, int (*real)(int))
{
    if (--FlushesLeft == 0)
        CutThePower();
    int done = real(fd);
    struct stat status;
    if (done == 0 && fstat(fd, &status) == 0 && S_ISDIR(status.st_mode))
        KeepNames();
    else if (done == 0)
        Durable[status.st_ino] = ReadBytes("/proc/self/fd/" + std::to_string(fd));
    return done;
}

// Cuts the power at flush `cutAt`; at 0 never, counting the flushes below 0.
static void PutLayer(int cutAt)
{
    FlushesLeft = cutAt;
    Durable.clear();
    for (const auto& entry : fs::directory_iterator("."))
        Durable[Inode(entry.path().string())] = ReadBytes(entry.path().string());
    KeepNames();
    System = SystemDefaults;
    System.fsync = [](int fd) { return Flush(fd, SystemDefaults.fsync); };
    System.fdatasync = [](int fd) { return Flush(fd, SystemDefaults.fdatasync); };
}

class PowerCutTest : public FaultsTest {};

TEST_F(PowerCutTest, AtEveryFlushOneMoreApplyReachesAWholeState)
{
    PatchFit fit;
    Problem problem;
    Reset();
    PutLayer(0);
    ASSERT_EQ(ApplyPatch("p", "game.exe", nullptr, "u", 0, 0, 0, nullptr, &fit, &problem), 1);
    System = SystemDefaults;
    int flushes = -FlushesLeft;
    ASSERT_GE(flushes, 6);
    for (int cut = 1; cut <= flushes; cut++) {
        Reset();
        EXPECT_EXIT((PutLayer(cut), ApplyPatch("p", "game.exe", nullptr, "u", 0, 0, 0, nullptr, &fit, &problem)),
                    ::testing::ExitedWithCode(CRASHED), "") << cut;
        std::string state = State(), why = "cut at flush " + std::to_string(cut);
        EXPECT_TRUE(state == "original" || state == "interrupted" || state == "patched") << why << ": " << state;
        ApplyAgain(why);
    }
}
