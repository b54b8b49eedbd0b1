#include "patch_core.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

// A patch of offset:value pairs, ascending, named GAME.EXE.
static PatchContents Patch(std::vector<PatchRecord>* records, std::initializer_list<std::pair<unsigned, int>> pairs)
{
    for (auto [offset, value] : pairs)
        records->push_back({offset, PATCH_RECORD_MARKER, static_cast<uint8_t>(value)});
    PatchContents patch = {};
    memcpy(patch.name.bytes, "GAME.EXE", 9);
    patch.count = patch.distinct = static_cast<unsigned>(records->size());
    patch.records = patch.positions = records->data();
    return patch;
}

// Windows that hold none, some or all of the positions, touching either end.
TEST(LayPositions, PutsOnlyThePositionsInsideTheWindow)
{
    std::vector<PatchRecord> records;
    PatchContents patch = Patch(&records, {{2, 'a'}, {4, 'b'}, {7, 'c'}});
    const struct {
        long long at;
        size_t length;
        const char* laid;
    } rows[] = {
        {0, 8, "..a.b..c"}, {4, 3, "b.."}, {3, 1, "."}, {5, 3, "..c"}, {8, 4, "...."},
    };
    for (const auto& row : rows) {
        char window[16];
        memset(window, '.', row.length);
        unsigned laid = LayPositions(patch.positions, patch.distinct, row.at, reinterpret_cast<unsigned char*>(window),
                                     row.length);
        EXPECT_EQ(std::string(window, row.length), row.laid) << row.at;
        unsigned char bytes[3] = {0, 0, 0};
        unsigned taken = TakeBytes(patch.positions, patch.distinct, row.at,
                                   reinterpret_cast<const unsigned char*>(window), row.length, bytes);
        EXPECT_EQ(laid, taken);
        for (unsigned i = 0; i < 3; i++)
            EXPECT_TRUE(!bytes[i] || bytes[i] == patch.positions[i].value) << row.at;
    }
}

// Patches in turn: the chain holds each position once, with the value the
// last patch gives it; each patch meets what those before it left.
TEST(ChainPatch, MergesPositionsAndGivesEachPatchWhatItMeets)
{
    std::vector<PatchRecord> first, second, third;
    PatchContents patches[] = {Patch(&first, {{2, 'A'}, {5, 'B'}}), Patch(&second, {{1, 'C'}, {5, 'D'}, {9, 'E'}}),
                               Patch(&third, {{0, 'F'}, {9, 'G'}})};
    PatchRecord chain[6];
    unsigned count = 0;
    for (const PatchContents& patch : patches)
        ASSERT_TRUE(ChainPatch(chain, &count, 6, patch));
    std::string laid;
    for (unsigned i = 0; i < count; i++)
        laid += std::to_string(chain[i].offset) + static_cast<char>(chain[i].value);
    EXPECT_EQ(laid, "0F1C2A5D9G");

    unsigned char bytes[] = "abcde", old[3] = {};
    const char* met[] = {"cd", "bBe", "aE"};
    for (int k = 0; k < 3; k++) {
        ChainedBytes(chain, count, bytes, patches[k], old);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(old), patches[k].distinct), met[k]) << k;
        LayChained(chain, count, bytes, patches[k]);
    }
    EXPECT_STREQ(reinterpret_cast<char*>(bytes), "FCADG");
    std::vector<PatchRecord> more;
    EXPECT_FALSE(ChainPatch(chain, &count, 6, Patch(&more, {{3, 'x'}, {4, 'y'}})));
    EXPECT_EQ(count, 5u);
}
