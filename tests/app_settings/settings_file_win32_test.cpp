// The settings file's rules on Windows: a read-only file stays as it is,
// and paths written with '\' reach their folders, created where missing.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/settings/settings_file.h"
#include "support/temp_folder.h"

namespace vorna {
namespace {

namespace fs = std::filesystem;

using test::TempFolder;

constexpr const char* OLD = "[SETTING]\r\nCOM=3\r\n";

void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

bool ReadOnly(const std::string& path) {
  return (fs::status(path).permissions() & fs::perms::owner_write) == fs::perms::none;
}

class SettingsFileWin32Test : public ::testing::Test {
 protected:
  TempFolder folder_;
  std::string ini_ = folder_.path().string() + "\\vorna.ini";
};

TEST_F(SettingsFileWin32Test, ReadOnlyFileIsNotReplaced) {
  WriteFile(ini_, OLD);
  fs::permissions(ini_, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  ASSERT_TRUE(ReadOnly(ini_));
  EXPECT_FALSE(WriteProfileString(ini_, "SETTING", "COM", "4"));
  EXPECT_FALSE(WriteProfileStrings(ini_, "SETTING", {{"COM", "5"}, {"FILE", "p.hex"}}));
  EXPECT_EQ(ReadFile(ini_), OLD);
  EXPECT_TRUE(ReadOnly(ini_));
  EXPECT_EQ(folder_.Names(), std::vector<std::string>{"vorna.ini"});
  // Still read as settings.
  EXPECT_EQ(ReadProfileInt(ini_, "SETTING", "COM", 1), 3);
  fs::permissions(ini_, fs::perms::owner_write, fs::perm_options::add);
}

TEST_F(SettingsFileWin32Test, WritableFileIsReplacedWholeWithNoTemporaryFileLeft) {
  WriteFile(ini_, OLD);
  ASSERT_TRUE(WriteProfileStrings(ini_, "SETTING", {{"COM", "4"}, {"FILE", "C:\\work\\p.hex"}}));
  EXPECT_EQ(ReadFile(ini_), "[SETTING]\r\nCOM=4\r\nFILE=C:\\work\\p.hex\r\n");
  EXPECT_EQ(folder_.Names(), std::vector<std::string>{"vorna.ini"});
}

TEST_F(SettingsFileWin32Test, MissingFoldersOnABackslashPathAreCreated) {
  const std::string nested = folder_.path().string() + "\\config\\vorna\\vorna.ini";
  ASSERT_TRUE(WriteProfileString(nested, "SETTING", "COM", "2"));
  EXPECT_TRUE(fs::is_directory(folder_.path() / "config" / "vorna"));
  EXPECT_EQ(ReadFile(nested), "[SETTING]\r\nCOM=2\r\n");
  EXPECT_EQ(ReadProfileInt(nested, "SETTING", "COM", 1), 2);
}

TEST_F(SettingsFileWin32Test, MissingFileAndMissingFolderReadAsDefaults) {
  EXPECT_EQ(ReadProfileInt(ini_, "SETTING", "COM", 7), 7);
  EXPECT_EQ(ReadProfileString(folder_.path().string() + "\\none\\vorna.ini", "SETTING", "FILE", "d"), "d");
}

}  // namespace
}  // namespace vorna
