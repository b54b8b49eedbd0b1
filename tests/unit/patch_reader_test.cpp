#include "patch_reader.h"
#include "test_files.h"

#include <string>

static PatchSpace Space;

// The patch the bytes give, as "offset=value ..." in the order of its
// positions, or its refusal.
static std::string Read(const std::string& bytes)
{
    PatchContents patch;
    char refusal[REFUSAL_SIZE];
    if (!ReadPatchBytes(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), 0, &Space, &patch, refusal))
        return refusal;
    std::string read = std::to_string(patch.count) + ":";
    for (unsigned i = 0; i < patch.distinct; i++)
        read += " " + std::to_string(patch.positions[i].offset) + "=" + std::to_string(patch.positions[i].value);
    return read + " comment " + std::string(reinterpret_cast<const char*>(patch.comment), patch.commentLength);
}

static const std::string Game("GAME.EXE\0\0\0\0\0", 13);

TEST(ReadPatchBytes, RefusesTheFirstProblem)
{
    const struct {
        std::string bytes, read;
    } rows[] = {
        {Game + Count(2) + Record(3, '\xBB') + Record(1, '\xAA') + "hi", "2: 1=170 3=187 comment hi"},
        {Game + Count(1) + Record(0x7FFFFFFF, 1), "1: 2147483647=1 comment "},
        {std::string("GAME.EXE\0\0\0\0A", 13) + Count(0), "the target name's 13th byte is not 0"},
        {Game + Count(3) + Record(1, 1) + Record(3, 2) + std::string(5, '\0'), "truncated: 3 records promised, 2 present"},
        {Game + Count(2) + Record(1, 1) + Record(3, 2).replace(4, 1, "\2"), "record 2: marker 0x02, not 0x01"},
        {Game + Count(1) + Record(0x80000000u, 1), "record 1: offset 0x80000000 is 2 GiB or more"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(Read(row.bytes), row.read);
}
