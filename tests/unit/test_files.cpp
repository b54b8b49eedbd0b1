#include "test_files.h"

#include "warning.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#ifdef _WIN32
#include <windows.h>
#endif

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

// A death test's child on Windows runs the test again from its start: the
// folder is handed to it in the environment, where the parent put it.
void TempFolderTest::SetUp()
{
    const char* given = getenv(ChildFolder);
    folder = given ? given : (fs::temp_directory_path() / ("morvex-test-" + std::to_string(std::random_device()()))).string();
#ifdef _WIN32
    SetEnvironmentVariableA(ChildFolder, folder.c_str());
#endif
    fs::create_directories(folder);
    Warnings.clear();
}

void TempFolderTest::TearDown()
{
#ifdef _WIN32
    SetEnvironmentVariableA(ChildFolder, nullptr);
#endif
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
