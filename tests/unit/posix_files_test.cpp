// What only a POSIX system can show: links, modes, and writes that fail or
// are refused in a restricted child process.
#include "file_replace.h"
#include "patch_builder.h"
#include "test_files.h"

#include <csignal>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

static const char OverInput[] = "The patch can't be written over one of the files being compared!";
static const char OpeningPatch[] = "Error opening file to write patch to!";

class PosixFilesTest : public TempFolderTest {
protected:
    void SetUp() override
    {
        TempFolderTest::SetUp();
        WriteBytes(Path("a"), "1234");
        WriteBytes(Path("b"), "1x34");
    }
    int Build(const std::string& patch) { return BuildPatch(nullptr, Path("a").c_str(), Path("b").c_str(), patch.c_str(), ""); }
};

static const std::string PatchAB = std::string("A\0\0\0\0\0\0\0\0\0\0\0\0", 13) + Count(1) + Record(1, 'x');

// The patch is written through links to where they point; the links stay.
TEST_F(PosixFilesTest, WritesThroughLinks)
{
    mkdir(Path("d").c_str(), 0755);
    WriteBytes(Path("third"), "third");
    const struct {
        const char *link, *target; // target relative to the link's folder
        const char* written;       // the file that gets the patch; none: refused
        const char* message;
    } cases[] = {
        {"to-third", "third", "third", nullptr},
        {"d/chain", "../to-third", "third", nullptr},
        {"dangling", "d/new.pat", "d/new.pat", nullptr},
        {"dangling-nowhere", "none/new.pat", nullptr, OpeningPatch},
        {"loop1", "loop2", nullptr, OpeningPatch},
        {"loop2", "loop1", nullptr, OpeningPatch},
        {"to-a", "a", nullptr, OverInput},
        {"d/to-b", "../b", nullptr, OverInput},
        {"d/to-to-a", "../to-a", nullptr, OverInput},
    };
    for (const auto& c : cases)
        ASSERT_EQ(symlink(c.target, Path(c.link).c_str()), 0);
    ASSERT_EQ(link(Path("b").c_str(), Path("hard").c_str()), 0);
    EXPECT_EQ(Build(Path("hard")), 0);
    for (const auto& c : cases) {
        Warnings.clear();
        EXPECT_EQ(Build(Path(c.link)), c.written != nullptr) << c.link;
        EXPECT_EQ(Warnings, c.message ? Messages{c.message} : Messages{}) << c.link;
        struct stat status;
        EXPECT_TRUE(lstat(Path(c.link).c_str(), &status) == 0 && S_ISLNK(status.st_mode)) << c.link;
        if (c.written) {
            EXPECT_EQ(ReadBytes(Path(c.written)), PatchAB) << c.link;
        }
    }
    EXPECT_EQ(ReadBytes(Path("a")), "1234");
    EXPECT_EQ(ReadBytes(Path("b")), "1x34");
    EXPECT_EQ(Listing(), (Messages{"a", "b", "d", "dangling", "dangling-nowhere", "hard", "loop1", "loop2", "third",
                                   "to-a", "to-third"}));

    // In a sticky, world-writable folder only a link of the caller or of the
    // folder's owner is followed, whatever the machine's own setting.
    const passwd* nobody = getpwnam("nobody");
    if (geteuid() != 0 || !nobody)
        return;
    std::string shared = Path("shared") + "/";
    ASSERT_EQ(mkdir(shared.c_str(), 0777) | chmod(shared.c_str(), 01777) | chown(shared.c_str(), nobody->pw_uid, 0), 0);
    for (const char* name : {"theirs", "mine"})
        ASSERT_EQ(symlink("../third", (shared + name).c_str()), 0);
    ASSERT_EQ(lchown((shared + "theirs").c_str(), nobody->pw_uid + 1, 0), 0);
    Warnings.clear();
    EXPECT_EQ(Build(shared + "theirs"), 0);
    EXPECT_EQ(Build(shared + "mine"), 1);
    EXPECT_EQ(Warnings, Messages{OpeningPatch});
}

// A name that comes to name another file, or a file where there was none,
// between begin and commit is refused, and both files stay as they are.
TEST_F(PosixFilesTest, ChangedBeforeTheMoveIsRefused)
{
    for (const char* before : {"old", ""}) {
        std::string target = Path("target");
        unlink(target.c_str());
        if (*before)
            WriteBytes(target, before);
        Replacement replacement, *failed = nullptr;
        ASSERT_EQ(BeginReplace(target.c_str(), &replacement), 1);
        fputs("new", replacement.file);
        WriteBytes(Path("swapped"), "swapped");
        ASSERT_EQ(rename(Path("swapped").c_str(), target.c_str()), 0);
        EXPECT_EQ(CommitReplace(&replacement, nullptr, &failed), 0) << before;
        EXPECT_TRUE(failed == &replacement && replacement.changed) << before;
        EXPECT_EQ(ReadBytes(target), "swapped");
        EXPECT_EQ(Listing(), (Messages{"a", "b", "target"}));
    }
}

// A new patch gets the usual mode; a replaced one keeps its permission bits
// but never the setuid, setgid or sticky bit.
TEST_F(PosixFilesTest, Modes)
{
    const struct {
        mode_t before, after; // before 0: no file there yet
    } cases[] = {{0, 0644}, {0640, 0640}, {0604, 0604}, {04755, 0755}, {02775, 0775}, {01666, 0666}};
    mode_t mask = umask(022);
    for (const auto& c : cases) {
        std::string patch = Path("p" + std::to_string(c.before));
        if (c.before) {
            WriteBytes(patch, "old");
            chmod(patch.c_str(), c.before);
        }
        EXPECT_EQ(Build(patch), 1);
        struct stat status;
        stat(patch.c_str(), &status);
        EXPECT_EQ(status.st_mode & 07777, c.after) << std::oct << c.before;
    }
    umask(mask);
}

// Each runs in a child: a file-size limit below the patch's size (a large
// patch fails in the write, a small one only when the stream is flushed at
// the close), and a read-only patch file owned by an unprivileged user.
TEST_F(PosixFilesTest, RefusedOrFailedWritesKeepTheOldPatch)
{
    WriteBytes(Path("big-a"), std::string(1000, 'a'));
    WriteBytes(Path("big-b"), std::string(1000, 'b'));
    const struct {
        const char* input; // big-a/big-b or a/b
        bool readOnly;
        const char* message; // none: the caller reports the failed write
    } cases[] = {{"big-", false, nullptr}, {"", false, nullptr}, {"", true, OpeningPatch}};
    const passwd* nobody = getpwnam("nobody");
    ASSERT_TRUE(nobody);
    chmod(folder.c_str(), 0777);
    for (const auto& c : cases) {
        WriteBytes(Path("p"), "old patch");
        if (c.readOnly) {
            chmod(Path("p").c_str(), 0444);
            ASSERT_EQ(chown(Path("p").c_str(), nobody->pw_uid, nobody->pw_gid), 0);
        }
        pid_t child = fork();
        if (child == 0) {
            signal(SIGXFSZ, SIG_IGN); // the write fails with EFBIG instead
            struct rlimit limit = {20, 20};
            if (c.readOnly && (setgid(nobody->pw_gid) != 0 || setuid(nobody->pw_uid) != 0))
                _exit(2);
            if (!c.readOnly)
                setrlimit(RLIMIT_FSIZE, &limit);
            Warnings.clear();
            int result = BuildPatch(nullptr, Path(std::string(c.input) + "a").c_str(),
                                    Path(std::string(c.input) + "b").c_str(), Path("p").c_str(), "");
            _exit(result == 0 && Warnings == (c.message ? Messages{c.message} : Messages{}) ? 0 : 1);
        }
        int status = -1;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << c.input << c.readOnly;
        EXPECT_EQ(ReadBytes(Path("p")), "old patch");
        EXPECT_EQ(Listing(), (Messages{"a", "b", "big-a", "big-b", "p"}));
        chmod(Path("p").c_str(), 0644);
    }
}
