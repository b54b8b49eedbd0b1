#include "test_files.h"

#include "warning.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

namespace fs = std::filesystem;

Messages Warnings;

void ShowWarning(void*, const char* text)
{
    Warnings.push_back(text);
}

std::string ReadBytes(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return file ? std::string(std::istreambuf_iterator<char>(file), {}) : "<missing>";
}

void WriteBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream file(path, std::ios::binary);
    ASSERT_TRUE(file.write(bytes.data(), bytes.size()).flush()) << path;
}

std::string Count(unsigned count)
{
    return {static_cast<char>(count & 0xFF), static_cast<char>(count >> 8)};
}

std::string Record(unsigned offset, char value)
{
    std::string record;
    for (int i = 0; i < 4; i++)
        record += static_cast<char>(offset >> (8 * i));
    return record + '\x01' + value;
}

void TempFolderTest::SetUp()
{
    // A death test's child on Windows runs the test again from its start, in its parent's folder.
    const char* given = getenv(ChildFolder);
    folder = given ? given : (fs::temp_directory_path() / ("morvex-test-" + std::to_string(std::random_device()()))).string();
    fs::create_directories(folder);
    Warnings.clear();
}

void TempFolderTest::TearDown()
{
    std::error_code ignored;
    fs::remove_all(folder, ignored);
}

std::vector<std::string> TempFolderTest::Listing() const
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}
