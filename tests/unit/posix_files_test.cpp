// What only a POSIX system can show: links, and a write that fails part way.
#include "patch_builder.h"
#include "test_files.h"

#include <csignal>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

class PosixFilesTest : public TempFolderTest {};

TEST_F(PosixFilesTest, RefusesAPatchPathLinkedToAnInput)
{
    WriteBytes(Path("a"), "1234");
    WriteBytes(Path("b"), "1x34");
    ASSERT_EQ(symlink(Path("a").c_str(), Path("soft").c_str()), 0);
    ASSERT_EQ(link(Path("b").c_str(), Path("hard").c_str()), 0);
    for (const char* name : {"soft", "hard"})
        EXPECT_EQ(BuildPatch(nullptr, Path("a").c_str(), Path("b").c_str(), Path(name).c_str(), ""), 0);
    EXPECT_EQ(Warnings, std::vector<std::string>(2, "The patch can't be written over one of the files being compared!"));
    EXPECT_EQ(ReadBytes(Path("a")), "1234");
    EXPECT_EQ(ReadBytes(Path("b")), "1x34");
}

TEST_F(PosixFilesTest, FailedWriteKeepsTheOldPatch)
{
    WriteBytes(Path("a"), std::string(1000, 'a'));
    WriteBytes(Path("b"), std::string(1000, 'b'));
    WriteBytes(Path("p"), "old patch");
    pid_t child = fork();
    if (child == 0) {
        // The file-size limit makes the temporary file's write fail with EFBIG.
        signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit = {100, 100};
        setrlimit(RLIMIT_FSIZE, &limit);
        int result = BuildPatch(nullptr, Path("a").c_str(), Path("b").c_str(), Path("p").c_str(), "");
        _exit(result == 0 && Warnings.empty() ? 0 : 1);
    }
    int status = -1;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(ReadBytes(Path("p")), "old patch");
    EXPECT_EQ(Listing(), (std::vector<std::string>{"a", "b", "p"}));
}

TEST_F(PosixFilesTest, NewPatchGetsTheUsualModeAndAReplacedOneKeepsItsMode)
{
    WriteBytes(Path("a"), "ab");
    mode_t mask = umask(022);
    ASSERT_EQ(BuildPatch(nullptr, Path("a").c_str(), Path("a").c_str(), Path("new").c_str(), ""), 1);
    WriteBytes(Path("kept"), "");
    chmod(Path("kept").c_str(), 0640);
    ASSERT_EQ(BuildPatch(nullptr, Path("a").c_str(), Path("a").c_str(), Path("kept").c_str(), ""), 1);
    umask(mask);
    struct stat status;
    stat(Path("new").c_str(), &status);
    EXPECT_EQ(status.st_mode & 0777, 0644u);
    stat(Path("kept").c_str(), &status);
    EXPECT_EQ(status.st_mode & 0777, 0640u);
}
