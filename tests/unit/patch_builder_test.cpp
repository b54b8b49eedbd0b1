#include "patch_builder.h"
#include "test_files.h"

#include <filesystem>
#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

static const char OpeningOriginal[] = "Error opening original file!";
static const char OpeningModified[] = "Error opening modified file!";
static const char SizesDiffer[] = "Files don't appear to be the same size!";
static const char TooLarge[] = "Files of 2 GB or more are not supported!";
static const char OpeningPatch[] = "Error opening file to write patch to!";
static const char OverInput[] = "The patch can't be written over one of the files being compared!";
static const char TooMany[] = "Too many differences to fit in one patch!";

using Messages = std::vector<std::string>;

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
    std::string Patch() { return ReadBytes(Path("demo.pat")); }
};

static const std::string DemoName("DEMO.EXE\0\0\0\0\0", 13);

static std::string Record(unsigned offset, char value)
{
    std::string record;
    for (int i = 0; i < 4; i++)
        record += static_cast<char>(offset >> (8 * i));
    return record + '\x01' + value;
}

static std::string Count(unsigned count)
{
    return {static_cast<char>(count & 0xFF), static_cast<char>(count >> 8)};
}

TEST_F(PatchBuilderTest, WritesByteExactPatches)
{
    const struct {
        std::string original, modified;
        const char* comment;
        std::string patch;
    } cases[] = {
        {std::string("\x00\x11\x22\x33", 4), std::string("\x00\xAA\x22\xBB", 4), "hi",
         DemoName + Count(2) + Record(1, '\xAA') + Record(3, '\xBB') + "hi"},
        {"same", "same", "", DemoName + Count(0)},
        {"", "", "", DemoName + Count(0)},
        {"", "", "note", DemoName + Count(0) + "note"},
        {"abc", "Xbc", "", DemoName + Count(1) + Record(0, 'X')},
        {"abc", "abZ", "", DemoName + Count(1) + Record(2, 'Z')},
        // Bytes that text mode would translate pass through unchanged.
        {std::string("\n\r\x1a\r\n", 5), std::string("\r\n\x1a\n\x1a", 5), "",
         DemoName + Count(4) + Record(0, '\r') + Record(1, '\n') + Record(3, '\n') + Record(4, '\x1a')},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(Make(c.original, c.modified, c.comment), 1) << Hex(c.original);
        EXPECT_EQ(Hex(Patch()), Hex(c.patch)) << Hex(c.original);
    }
    EXPECT_EQ(Warnings, Messages{});
}

// Differences every 8 bytes, so that large counts span both compared halves.
static std::string Spread(unsigned differences)
{
    std::string modified(8 * differences, 'x');
    for (unsigned i = 0; i < differences; i++)
        modified[8 * i + 7] = 'y';
    return modified;
}

TEST_F(PatchBuilderTest, RecordAreaAndCommentAtTheirLimits)
{
    const std::string comment(255, 'c');
    for (unsigned differences : {255u, 65535u}) {
        std::string expected = DemoName + Count(differences);
        for (unsigned i = 0; i < differences; i++)
            expected += Record(8 * i + 7, 'y');
        const std::string modified = Spread(differences);
        ASSERT_EQ(Make(std::string(modified.size(), 'x'), modified, comment.c_str()), 1);
        EXPECT_TRUE(Patch() == expected + comment) << differences;
    }
}

TEST_F(PatchBuilderTest, RefusesTheDifferenceThatDoesNotFit)
{
    WriteBytes(Path("demo.pat"), "old patch");
    for (const std::string& modified : {std::string(65536, 'b'), Spread(65536)})
        EXPECT_EQ(Make(std::string(modified.size(), 'a'), modified), 0);
    EXPECT_EQ(Warnings, (Messages{TooMany, TooMany}));
    EXPECT_EQ(Patch(), "old patch");
    EXPECT_EQ(Listing(), (std::vector<std::string>{"demo.exe", "demo.new", "demo.pat"}));
}

// Sizes beyond what 32-bit positions hold are made as sparse files.
TEST_F(PatchBuilderTest, SizeCheck)
{
    const struct {
        const char* name;
        long long size;
    } files[] = {{"four", 4}, {"five", 5}, {"sixteen", 16}, {"max", (1LL << 31) - 1},
                 {"huge", 1LL << 31}, {"wrap", (1LL << 32) + 16}};
    for (const auto& file : files) {
        WriteBytes(Path(file.name), "");
        std::filesystem::resize_file(Path(file.name), file.size);
    }
    const std::string missing = Path("missing");
    const struct {
        std::string original, modified;
        Messages messages;
    } cases[] = {
        {missing, Path("four"), {OpeningOriginal}},
        {Path("four"), missing, {OpeningModified}},
        {missing, missing, {OpeningOriginal}},
        {folder, Path("four"), {OpeningOriginal}},
        {Path("four"), folder, {OpeningModified}},
        {Path("four"), Path("five"), {SizesDiffer}},
        {Path("five"), Path("four"), {SizesDiffer}},
        {Path("four"), Path("four"), {}},
        {Path("max"), Path("max"), {}},
        {Path("huge"), Path("huge"), {TooLarge}},
        {Path("wrap"), Path("sixteen"), {SizesDiffer}},
        {Path("sixteen"), Path("wrap"), {SizesDiffer}},
    };
    for (const auto& c : cases) {
        Warnings.clear();
        EXPECT_EQ(CheckSameSize(nullptr, c.original.c_str(), c.modified.c_str()), c.messages.empty());
        EXPECT_EQ(Warnings, c.messages) << c.original << " / " << c.modified;
    }
}

// Every refusal leaves the patch path as it was and no temporary file behind.
TEST_F(PatchBuilderTest, BuilderFailuresLeaveThePatchPathAlone)
{
    WriteBytes(Path("four"), "1234");
    WriteBytes(Path("four2"), "1x34");
    WriteBytes(Path("five"), "12345");
    WriteBytes(Path("empty"), "");
    WriteBytes(Path("big"), "");
    std::filesystem::resize_file(Path("big"), 1LL << 31);
    std::filesystem::create_directory(Path("sub"));
    const std::string missing = Path("missing");
    const struct {
        std::string original, modified, patch;
        Messages messages;
    } cases[] = {
        {missing, Path("four"), Path("out.pat"), {OpeningOriginal}},
        {Path("four"), missing, Path("out.pat"), {OpeningModified}},
        {folder, Path("four"), Path("out.pat"), {OpeningOriginal}},
        {Path("four"), Path("five"), Path("out.pat"), {SizesDiffer}},
        {Path("big"), Path("big"), Path("out.pat"), {TooLarge}},
        {missing, missing, Path("nowhere") + PathSeparator + "out.pat", {OpeningPatch}},
        {missing, missing, Path("sub"), {OpeningPatch}},
        {Path("four"), Path("four2"), Path("four"), {OverInput}},
        {Path("four"), Path("four2"), Path("four2"), {OverInput}},
        {Path("four"), Path("four2"), Path("sub") + PathSeparator + ".." + PathSeparator + "four", {OverInput}},
#ifdef _WIN32
        {Path("four"), Path("four2"), Path("FOUR"), {OverInput}},
        {Path("four"), Path("four2"), Path(".") + "\\.\\four2", {OverInput}},
        {Path("four"), Path("four"), "NUL", {OpeningPatch}},
        {"NUL", "NUL", Path("out.pat"), {OpeningOriginal}},
#else
        {missing, missing, "/proc/morvex.pat", {OpeningPatch}},
        {"/dev/null", "/dev/null", Path("out.pat"), {OpeningOriginal}},
        // Files that hold more than their measured length, as if they grew.
        {"/proc/self/status", Path("empty"), Path("out.pat"), {SizesDiffer}},
        {Path("empty"), "/proc/self/status", Path("out.pat"), {SizesDiffer}},
#endif
    };
    WriteBytes(Path("out.pat"), "old patch");
    for (const auto& c : cases) {
        Warnings.clear();
        EXPECT_EQ(BuildPatch(nullptr, c.original.c_str(), c.modified.c_str(), c.patch.c_str(), "x"), 0);
        EXPECT_EQ(Warnings, c.messages) << c.patch;
    }
    EXPECT_EQ(ReadBytes(Path("four")), "1234");
    EXPECT_EQ(ReadBytes(Path("four2")), "1x34");
    EXPECT_EQ(ReadBytes(Path("out.pat")), "old patch");
    EXPECT_EQ(Listing(), (std::vector<std::string>{"big", "empty", "five", "four", "four2", "out.pat", "sub"}));
}

TEST_F(PatchBuilderTest, ReplacesAnEarlierPatch)
{
    WriteBytes(Path("demo.pat"), std::string(100, 'z'));
    ASSERT_EQ(Make("ab", "aB"), 1);
    EXPECT_EQ(Hex(Patch()), Hex(DemoName + Count(1) + Record(1, 'B')));
    EXPECT_EQ(Listing(), (std::vector<std::string>{"demo.exe", "demo.new", "demo.pat"}));
}

#ifdef _WIN32
// Path bytes are in the ANSI code page, as the dialogs give them.
TEST_F(PatchBuilderTest, OpensAnsiPaths)
{
    const std::string original = Path("caf\xe9.exe");
    WriteBytes(original, "ab");
    WriteBytes(Path("b"), "aX");
    ASSERT_EQ(BuildPatch(nullptr, original.c_str(), Path("b").c_str(), Path("\xe9t\xe9.pat").c_str(), ""), 1);
    EXPECT_EQ(Hex(ReadBytes(Path("\xe9t\xe9.pat"))),
              Hex(std::string("CAF\xe9.EXE\0\0\0\0", 13) + Count(1) + Record(1, 'X')));
}

// Root on POSIX writes to read-only files anyway, and so would a plain open.
TEST_F(PatchBuilderTest, RefusesReadOnlyPatchFile)
{
    WriteBytes(Path("a"), "1234");
    WriteBytes(Path("locked.pat"), "old patch");
    SetFileAttributesA(Path("locked.pat").c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(BuildPatch(nullptr, Path("a").c_str(), Path("a").c_str(), Path("locked.pat").c_str(), ""), 0);
    EXPECT_EQ(Warnings, Messages{OpeningPatch});
    EXPECT_EQ(ReadBytes(Path("locked.pat")), "old patch");
    SetFileAttributesA(Path("locked.pat").c_str(), FILE_ATTRIBUTE_NORMAL);
}
#endif
