// The patch's records must be exactly what `cmp -l` lists.
#include "patch_builder.h"
#include "test_files.h"

#include <cstdio>
#include <random>

// The records of the expected patch, from cmp's "position old new" lines
// (1-based position, octal bytes).
static std::string CmpRecords(const std::string& a, const std::string& b, unsigned* count)
{
    FILE* pipe = popen(("cmp -l '" + a + "' '" + b + "'").c_str(), "r");
    std::string records;
    unsigned long position;
    unsigned from, to;
    for (*count = 0; fscanf(pipe, "%lu %o %o", &position, &from, &to) == 3; ++*count)
        records += Record(static_cast<unsigned>(position - 1), static_cast<char>(to));
    pclose(pipe);
    return records;
}

class CmpOracleTest : public TempFolderTest {};

TEST_F(CmpOracleTest, RecordsMatchCmp)
{
    const size_t block = 1 << 17;
    std::mt19937 random(1234);
    for (size_t size : {size_t{1}, size_t{63}, size_t{64}, size_t{65}, block - 1, block, block + 1, 3 * block + 17}) {
        std::string original(size, '\0');
        for (char& byte : original)
            byte = static_cast<char>(random());
        for (int pattern = 0; pattern < 5; pattern++) {
            std::string modified = original;
            if (pattern == 1 || pattern == 4)
                modified[0] ^= 1;
            if (pattern == 2 || pattern == 4)
                modified[size - 1] ^= 0x80;
            if (pattern >= 3) // scattered, then dense
                for (size_t n = pattern == 3 ? 40 : std::min<size_t>(size / 3 + 1, 30000); n > 0; n--)
                    modified[random() % size] = static_cast<char>(random());
            WriteBytes(Path("a"), original);
            WriteBytes(Path("b"), modified);
            ASSERT_EQ(BuildPatch(nullptr, Path("a").c_str(), Path("b").c_str(), Path("p").c_str(), ""), 1);
            unsigned count;
            const std::string records = CmpRecords(Path("a"), Path("b"), &count);
            EXPECT_TRUE(ReadBytes(Path("p")) == std::string("A\0\0\0\0\0\0\0\0\0\0\0\0", 13) + Count(count) + records)
                << "size " << size << " pattern " << pattern;
        }
    }
}
