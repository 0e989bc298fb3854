// The settings file's rules that rest on POSIX: permissions and users,
// symbolic links, and a writer cut off by a file size limit.

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/settings/settings_file.h"
#include "support/temp_folder.h"
#include "support/unprivileged.h"

namespace vorna {
namespace {

namespace fs = std::filesystem;

using test::GiveToUnprivileged;
using test::RunUnprivileged;
using test::TempFolder;

void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

class SettingsFilePosixTest : public ::testing::Test {
 protected:
  TempFolder folder_;
  std::string ini_ = folder_.File("vorna.ini");
};

// Root writes into any folder, so the save runs as an ordinary user who owns
// the folder and the file.
TEST_F(SettingsFilePosixTest, ReadOnlyFolderFailsAndKeepsTheOldFile) {
  WriteFile(ini_, "[SETTING]\nCOM=3\n");
  GiveToUnprivileged(ini_);
  GiveToUnprivileged(folder_.path().string());
  fs::permissions(folder_.path(), fs::perms::owner_read | fs::perms::owner_exec);
  RunUnprivileged([&] {
    ASSERT_NE(::access(folder_.path().c_str(), W_OK), 0) << "the folder is writable";
    EXPECT_FALSE(WriteProfileString(ini_, "SETTING", "COM", "4"));
    EXPECT_EQ(ReadProfileInt(ini_, "SETTING", "COM", 1), 3);
  });
  EXPECT_EQ(ReadFile(ini_), "[SETTING]\nCOM=3\n");
  EXPECT_EQ(folder_.Names(), std::vector<std::string>{"vorna.ini"});
}

TEST_F(SettingsFilePosixTest, SuccessfulWriteLeavesNoTemporaryFileAndKeepsPermissions) {
  WriteFile(ini_, "[SETTING]\nCOM=3\n");
  fs::permissions(ini_, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  ASSERT_TRUE(WriteProfileString(ini_, "SETTING", "COM", "4"));
  EXPECT_EQ(folder_.Names(), std::vector<std::string>{"vorna.ini"});
  EXPECT_EQ(fs::status(ini_).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(SettingsFilePosixTest, WritingThroughALinkChangesItsTarget) {
  const std::string target = folder_.File("real.ini");
  WriteFile(target, "[SETTING]\nCOM=3\n");
  fs::create_symlink(target, ini_);
  ASSERT_TRUE(WriteProfileString(ini_, "SETTING", "COM", "4"));
  EXPECT_TRUE(fs::is_symlink(ini_));
  EXPECT_EQ(ReadFile(target), "[SETTING]\nCOM=4\n");
}

// A write that runs out of space midway (here: past the file size limit)
// must leave the old file whole and no temporary file behind.
TEST_F(SettingsFilePosixTest, FailedWriteLeavesTheOldFileWhole) {
  const std::string old = "[SETTING]\nCOM=3\nFILE=/old/p.hex\n";
  WriteFile(ini_, old);
  constexpr rlim_t FILE_SIZE_LIMIT = 64;
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{FILE_SIZE_LIMIT, FILE_SIZE_LIMIT};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    const bool written = WriteProfileString(ini_, "SETTING", "FILE", std::string(1000, 'n'));
    ::_exit(written ? 1 : 0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the write should have failed";
  EXPECT_EQ(ReadFile(ini_), old);
  EXPECT_EQ(folder_.Names(), std::vector<std::string>{"vorna.ini"});
}

}  // namespace
}  // namespace vorna
