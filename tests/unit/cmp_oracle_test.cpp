// The patch's records must list exactly what `cmp -l` lists.
#include "patch_builder.h"
#include "test_files.h"

#include <cstdio>
#include <algorithm>
#include <random>
#include <sstream>

static std::string CmpList(const std::string& a, const std::string& b)
{
    std::string command = "cmp -l '" + a + "' '" + b + "'";
    FILE* pipe = popen(command.c_str(), "r");
    std::string list;
    char line[128];
    unsigned long position;
    unsigned from, to;
    while (fgets(line, sizeof line, pipe))
        if (sscanf(line, "%lu %o %o", &position, &from, &to) == 3)
            list += std::to_string(position - 1) + ":" + std::to_string(to) + "\n";
    pclose(pipe);
    return list;
}

static std::string PatchList(const std::string& patch)
{
    std::string list;
    unsigned count = static_cast<unsigned char>(patch[13]) | static_cast<unsigned char>(patch[14]) << 8;
    for (unsigned i = 0; i < count; i++) {
        const unsigned char* record = reinterpret_cast<const unsigned char*>(patch.data()) + 15 + 6 * i;
        unsigned long offset = record[0] | record[1] << 8 | record[2] << 16 | static_cast<unsigned long>(record[3]) << 24;
        EXPECT_EQ(record[4], 1);
        list += std::to_string(offset) + ":" + std::to_string(record[5]) + "\n";
    }
    EXPECT_EQ(patch.size(), 15 + 6 * count);
    return list;
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
            if (pattern == 1)
                modified[0] ^= 1;
            if (pattern == 2)
                modified[size - 1] ^= 0x80;
            if (pattern >= 3) // scattered, then dense
                for (size_t n = pattern == 3 ? 40 : std::min<size_t>(size / 3 + 1, 30000); n > 0; n--)
                    modified[random() % size] = static_cast<char>(random());
            if (pattern == 4 && size > 2) {
                modified[0] ^= 1;
                modified[size - 1] ^= 1;
            }
            WriteBytes(Path("a"), original);
            WriteBytes(Path("b"), modified);
            ASSERT_EQ(BuildPatch(nullptr, Path("a").c_str(), Path("b").c_str(), Path("p").c_str(), ""), 1)
                << Warnings.back();
            EXPECT_EQ(PatchList(ReadBytes(Path("p"))), CmpList(Path("a"), Path("b")))
                << "size " << size << " pattern " << pattern;
        }
    }
}
