// What only a POSIX system can show: a name swapped between begin and commit.
#include "file_replace.h"
#include "test_files.h"

#include <sys/stat.h>
#include <unistd.h>

class PosixFilesTest : public TempFolderTest {};

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
        Problem problem;
        ASSERT_EQ(BeginReplace(target.c_str(), nullptr, nullptr, &replacement, &problem), 1);
        fputs("new", replacement.file);
        WriteBytes(Path("swapped"), "swapped");
        ASSERT_EQ(rename(Path("swapped").c_str(), target.c_str()), 0);
        EXPECT_EQ(CommitReplace(&replacement, nullptr, &failed, &problem), 0) << before;
        EXPECT_TRUE(failed == &replacement && replacement.changed) << before;
        EXPECT_EQ(ReadBytes(target), "swapped");
        EXPECT_EQ(Listing(), (Messages{"target"}));
    }
}
