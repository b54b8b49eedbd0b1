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

using Messages = std::vector<std::string>;

// Every warning the engine showed in this test, in order.
extern Messages Warnings;

std::string ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::string& bytes);

// Patch bytes built from their parts: the record count and one record.
std::string Count(unsigned count);
std::string Record(unsigned offset, char value);

// The environment variable that gives a death test's child its parent's folder.
const char ChildFolder[] = "MORVEX_TEST_FOLDER";

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
