#ifndef MORVEX_TEST_FILES_H
#define MORVEX_TEST_FILES_H

#include <gtest/gtest.h>

#include <string>
#include <vector>

#ifdef _WIN32
const char PathSeparator = '\\';
#else
const char PathSeparator = '/';
#endif

// Every warning the engine showed in this test, in order.
extern std::vector<std::string> Warnings;

std::string ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::string& bytes);
std::string Hex(const std::string& bytes);

// Each test gets a fresh, empty folder, removed afterwards.
class TempFolderTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    std::string Path(const std::string& name) const { return folder + PathSeparator + name; }
    // The names in the folder, to see that no temporary file was left behind.
    std::vector<std::string> Listing() const;
    std::string folder;
};

#endif
