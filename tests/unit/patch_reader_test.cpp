#include "patch_compare.h"
#include "patch_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// The patch the bytes give, as "offset=value ..." in the order of its
// positions, or its refusal.
static std::string Read(const std::string& bytes)
{
    PatchContents patch;
    char refusal[REFUSAL_SIZE];
    if (!ReadPatchBytes(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), 0, &patch, refusal))
        return refusal;
    std::string read = std::to_string(patch.count) + ":";
    for (unsigned i = 0; i < patch.distinct; i++)
        read += " " + std::to_string(patch.positions[i].offset) + "=" + std::to_string(patch.positions[i].value);
    return read + " comment " + std::string(reinterpret_cast<const char*>(patch.comment), patch.commentLength);
}

static const std::string Game("GAME.EXE\0\0\0\0\0", 13);

static std::string Record(unsigned offset, int value, int marker = 1)
{
    std::string record(6, '\0');
    for (int i = 0; i < 4; i++)
        record[i] = static_cast<char>(offset >> 8 * i);
    record[4] = static_cast<char>(marker);
    record[5] = static_cast<char>(value);
    return record;
}

static std::string Count(unsigned count)
{
    return std::string{static_cast<char>(count & 0xFF), static_cast<char>(count >> 8)};
}

TEST(ReadPatchBytes, RefusesTheFirstProblem)
{
    const struct {
        std::string bytes, read;
    } rows[] = {
        {Game + Count(2) + Record(3, 0xBB) + Record(1, 0xAA) + "hi", "2: 1=170 3=187 comment hi"},
        {Game + Count(3) + Record(3, 7) + Record(1, 8) + Record(3, 7), "3: 1=8 3=7 comment "},
        {Game + Count(0), "0: comment "},
        {Game + Count(1) + Record(0x7FFFFFFF, 1), "1: 2147483647=1 comment "},
        {Game + std::string(1, '\0'), "shorter than the 15-byte header"},
        {"", "shorter than the 15-byte header"},
        {std::string("GAME.EXE\0\0\0\0A", 13) + Count(0), "the target name's 13th byte is not 0"},
        {Game + Count(3) + Record(1, 1) + Record(3, 2) + std::string(5, '\0'), "truncated: 3 records promised, 2 present"},
        {Game + Count(256) + Record(1, 1), "truncated: 256 records promised, 1 present"},
        {Game + Count(2) + Record(1, 1) + Record(3, 2, 2), "record 2: marker 0x02, not 0x01"},
        {Game + Count(1) + Record(0x80000000u, 1), "record 1: offset 0x80000000 is 2 GiB or more"},
        {Game + Count(3) + Record(1, 0xAA) + Record(2, 0) + Record(1, 0xBB), "offset 0x00000001 is given twice, as AA and as BB"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(Read(row.bytes), row.read);
}

// The records two blocks add after the `*count` there are, as
// " offset=value", "full" first when they do not fit.
static std::string Compare(const std::string& original, const std::string& modified, long long offset,
                           unsigned* count)
{
    static PatchRecord records[MAX_PATCH_RECORDS];
    unsigned first = *count;
    int fits = CompareBlocks(reinterpret_cast<const unsigned char*>(original.data()),
                             reinterpret_cast<const unsigned char*>(modified.data()), original.size(), offset, records,
                             count);
    std::string listed = fits ? "" : "full";
    for (unsigned i = first; i < *count; i++)
        listed += " " + std::to_string(records[i].offset) + "=" + std::to_string(records[i].value);
    return listed;
}

TEST(CompareBlocks, ListsEveryDifferingByteAtItsOffset)
{
    std::string block(100000, 'a'), changed = block;
    changed[0] = 'b', changed[65536] = 'c', changed[99999] = 'd';
    const struct {
        std::string original, modified;
        long long offset;
        unsigned count;
        std::string listed;
    } rows[] = {
        {"abc", "abc", 0, 0, ""},
        {"abc", "abd", 0, 0, " 2=100"},
        {"abc", "xbz", 1000, 7, " 1000=120 1002=122"},
        {block, changed, 0, 0, " 0=98 65536=99 99999=100"},
        {block, block, 0, MAX_PATCH_RECORDS, ""},
        {"ab", "xb", 0, MAX_PATCH_RECORDS - 1, " 0=120"},
        {"ab", "xy", 0, MAX_PATCH_RECORDS - 1, "full 0=120"},
    };
    for (const auto& row : rows) {
        unsigned count = row.count;
        EXPECT_EQ(Compare(row.original, row.modified, row.offset, &count), row.listed) << row.original.size();
    }
}
