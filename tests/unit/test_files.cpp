#include "test_files.h"

#include "warning.h"

#include <cstdio>
#include <filesystem>
#include <random>
#include <algorithm>

namespace fs = std::filesystem;

std::vector<std::string> Warnings;

void ShowWarning(void*, const char* text)
{
    Warnings.push_back(text);
}

std::string ReadBytes(const std::string& path)
{
    std::string bytes;
    FILE* file = fopen(path.c_str(), "rb");
    if (!file)
        return "<missing>";
    char buffer[65536];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes.append(buffer, got);
    fclose(file);
    return bytes;
}

void WriteBytes(const std::string& path, const std::string& bytes)
{
    FILE* file = fopen(path.c_str(), "wb");
    ASSERT_NE(file, nullptr) << path;
    ASSERT_EQ(fwrite(bytes.data(), 1, bytes.size(), file), bytes.size());
    ASSERT_EQ(fclose(file), 0);
}

std::string Hex(const std::string& bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    for (unsigned char byte : bytes) {
        if (!text.empty())
            text += ' ';
        text += digits[byte >> 4];
        text += digits[byte & 15];
    }
    return text;
}

void TempFolderTest::SetUp()
{
    std::random_device random;
    folder = (fs::temp_directory_path() / ("morvex-test-" + std::to_string(random()))).string();
    fs::create_directories(folder);
    Warnings.clear();
}

void TempFolderTest::TearDown()
{
    std::error_code ignored;
    fs::permissions(folder, fs::perms::owner_all, fs::perm_options::add, ignored);
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
