#include "make_messages.h"
#include "patch_builder.h"
#include "test_files.h"

#include <filesystem>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

class PatchBuilderTest : public TempFolderTest {
protected:
    // Writes the inputs, runs the size check and the builder as the dialog does.
    int Make(const std::string& original, const std::string& modified, const char* comment = "")
    {
        WriteBytes(Path("demo.exe"), original);
        WriteBytes(Path("demo.new"), modified);
        return CheckSameSize(nullptr, Path("demo.exe").c_str(), Path("demo.new").c_str())
            && BuildPatch(nullptr, Path("demo.exe").c_str(), Path("demo.new").c_str(),
                          Path("demo.pat").c_str(), comment);
    }
};

static const std::string DemoName("DEMO.EXE\0\0\0\0\0", 13);

// Differences every 8 bytes, so that large counts span both compared halves;
// with records, the patch's records of them.
static std::string Spread(unsigned differences, bool records = false)
{
    std::string modified(8 * differences, 'x'), patch;
    for (unsigned i = 0; i < differences; i++)
        modified[8 * i + 7] = 'y', patch += Record(8 * i + 7, 'y');
    return records ? patch : modified;
}

TEST_F(PatchBuilderTest, WritesByteExactPatches)
{
    const std::string longComment(300, 'c');
    const struct {
        std::string original, modified;
        const char* comment;
        std::string patch; // empty: refused with ErrorTooManyDifferences, the earlier patch kept
    } cases[] = {
        {std::string("\x00\x11\x22\x33", 4), std::string("\x00\xAA\x22\xBB", 4), "hi",
         DemoName + Count(2) + Record(1, '\xAA') + Record(3, '\xBB') + "hi"},
        {"", "", "note", DemoName + Count(0) + "note"},
        // Bytes that text mode would translate pass through unchanged; the
        // comment, the record area at their limits, and one past.
        {std::string("\n\r\x1a\r\n", 5), std::string("\r\n\x1a\n\x1a", 5), longComment.c_str(),
         DemoName + Count(4) + Record(0, '\r') + Record(1, '\n') + Record(3, '\n') + Record(4, '\x1a')
             + longComment.substr(0, 255)},
        {std::string(8 * 65535, 'x'), Spread(65535), "", DemoName + Count(65535) + Spread(65535, true)},
        {std::string(8 * 65536, 'x'), Spread(65536), "", ""},
        {std::string(65536, 'a'), std::string(65536, 'b'), "", ""},
    };
    for (const auto& c : cases) {
        WriteBytes(Path("demo.pat"), "old patch");
        Warnings.clear();
        ASSERT_EQ(Make(c.original, c.modified, c.comment), !c.patch.empty()) << c.modified.substr(0, 8);
        EXPECT_TRUE(ReadBytes(Path("demo.pat")) == (c.patch.empty() ? "old patch" : c.patch)) << c.modified.substr(0, 8);
        EXPECT_EQ(Warnings, c.patch.empty() ? Messages{ErrorTooManyDifferences} : Messages{});
        EXPECT_EQ(Listing(), (Messages{"demo.exe", "demo.new", "demo.pat"}));
    }
}

// What the name and the comment lose to the code page is told apart, as the
// main dialog asks before the patch is made.
TEST(LostCharacters, SaysWhatLostCharacters)
{
#ifdef _WIN32
#define E_ACUTE "\xE9"
#else
#define E_ACUTE "\xC3\xA9"
#endif
    const struct {
        const char *name, *comment;
        unsigned codePage;
        int lost;
    } rows[] = {
        {"caf" E_ACUTE ".exe", "caf" E_ACUTE, 1251, LOST_NAME | LOST_COMMENT},
        {"cafe.exe", "caf" E_ACUTE, 1251, LOST_COMMENT},
        {"caf" E_ACUTE ".exe", "caf" E_ACUTE, 1252, 0},
    };
    // MakePatchFile's own flags are the command line's warning rows.
    for (const auto& row : rows)
        EXPECT_EQ(LostCharacters(row.name, row.comment, row.codePage), row.lost) << row.name << " " << row.comment;
}

// Every refusal of the size check or the builder leaves the patch path as it
// was and no temporary file behind. Sizes beyond what 32-bit positions hold
// are made as sparse files.
TEST_F(PatchBuilderTest, RefusalsLeaveThePatchPathAlone)
{
    const struct {
        const char* name;
        long long size;
    } files[] = {{"four", 4}, {"five", 5}, {"sixteen", 16}, {"empty", 0}, {"max", (1LL << 31) - 1},
                 {"huge", 1LL << 31}, {"wrap", (1LL << 32) + 16}};
    for (const auto& file : files) {
        WriteBytes(Path(file.name), file.size == 4 ? "1234" : "");
        std::filesystem::resize_file(Path(file.name), file.size);
    }
    WriteBytes(Path("four2"), "1x34");
    std::filesystem::create_directory(Path("sub"));
    WriteBytes(Path("out.pat"), "old patch");
#ifdef _WIN32
    // Root on POSIX writes to read-only files anyway; there this runs as another user.
    WriteBytes(Path("locked.pat"), "old patch");
    SetFileAttributesA(Path("locked.pat").c_str(), FILE_ATTRIBUTE_READONLY);
#else
    // Opening a FIFO for reading waits for a writer: a hang fails the test.
    mkfifo(Path("fifo").c_str(), 0600);
    alarm(10);
#endif
    const std::string missing = Path("missing"), out = Path("out.pat");
    const char* const passes = nullptr;
    const std::string grew = std::string("/proc/self/status: ") + ChangedWhileWorking;
    const struct {
        std::string original, modified, patch; // no patch: the size check alone
        const char *check, *build;             // the message of each, if any
    } cases[] = {
        {Path("four"), missing, out, ErrorOpeningModified, ErrorOpeningModified},
        {Path("four"), Path("five"), out, ErrorSizesDiffer, ErrorSizesDiffer},
        {Path("max"), Path("max"), "", passes, passes},
        {Path("huge"), Path("huge"), out, ErrorTooLarge, ErrorTooLarge},
        {Path("wrap"), Path("wrap"), out, ErrorTooLarge, ErrorTooLarge},
        {Path("wrap"), Path("sixteen"), out, ErrorSizesDiffer, ErrorSizesDiffer},
        {missing, missing, Path("sub"), ErrorOpeningOriginal, ErrorOpeningPatch},
        {Path("four"), Path("four2"), Path("four2"), passes, ErrorPatchOverInput},
        {Path("four"), Path("four2"), Path("sub") + PathSeparator + ".." + PathSeparator + "four", passes, ErrorPatchOverInput},
#ifdef _WIN32
        {Path("four"), Path("four2"), Path("FOUR"), passes, ErrorPatchOverInput},
        {Path("four"), Path("four"), "NUL", passes, ErrorOpeningPatch},
        {"NUL", "NUL", out, ErrorOpeningOriginal, ErrorOpeningOriginal},
        {Path("four"), Path("four"), Path("locked.pat"), passes, ErrorOpeningPatch},
#else
        {Path("fifo"), Path("four"), out, ErrorOpeningOriginal, ErrorOpeningOriginal},
        // Files that hold more than their measured length, as if they grew, are named.
        {"/proc/self/status", Path("empty"), out, passes, grew.c_str()},
        {Path("empty"), "/proc/self/status", out, passes, grew.c_str()},
#endif
    };
    for (const auto& c : cases) {
        const char* o = c.original.c_str();
        const char* m = c.modified.c_str();
        Warnings.clear();
        EXPECT_EQ(CheckSameSize(nullptr, o, m), !c.check);
        EXPECT_EQ(Warnings, c.check ? Messages{c.check} : Messages{}) << o << " / " << m;
        if (c.patch.empty())
            continue;
        // The builder measures the files again itself, so it runs after a failed check too.
        Warnings.clear();
        EXPECT_EQ(BuildPatch(nullptr, o, m, c.patch.c_str(), "x"), 0);
        EXPECT_EQ(Warnings, Messages{c.build}) << o << " / " << m << " -> " << c.patch;
    }
    EXPECT_EQ(ReadBytes(Path("four")) + ReadBytes(Path("four2")) + ReadBytes(out), "12341x34old patch");
#ifdef _WIN32
    EXPECT_EQ(ReadBytes(Path("locked.pat")), "old patch");
    SetFileAttributesA(Path("locked.pat").c_str(), FILE_ATTRIBUTE_NORMAL);
    std::filesystem::remove(Path("locked.pat"));
#else
    alarm(0);
    std::filesystem::remove(Path("fifo"));
#endif
    EXPECT_EQ(Listing(), (Messages{"empty", "five", "four", "four2", "huge", "max", "out.pat", "sixteen", "sub", "wrap"}));
}
