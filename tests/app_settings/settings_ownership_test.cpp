// Saving the settings never takes a file over: only a regular file the user
// owns and may write is replaced, a link only when the user made it and it
// leads to such a file, and mode and group stay. Every line the update does
// not touch keeps its bytes and its line end.
//
// Files of "another user" need root to make: run as root (as CI does), the
// writer is a child running as nobody and the other user is root; run as an
// ordinary user, the rows that need another user's file are skipped.

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "app/settings/settings_file.h"
#include "support/temp_folder.h"
#include "support/unprivileged.h"

namespace vorna {
namespace {

namespace fs = std::filesystem;
using test::RunningAsRoot;
using test::TempFolder;

const uid_t NOBODY = test::UnprivilegedUid();
const gid_t NOGROUP = test::UnprivilegedGid();
constexpr const char* OLD = "[SETTING]\nCOM=3\nFILE=old.hex\n";
constexpr const char* NEW = "[SETTING]\nCOM=8\nFILE=old.hex\n";

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

// Who writes (the unprivileged user under root), and who the other user is.
struct Users {
  uid_t user = RunningAsRoot() ? NOBODY : ::geteuid();
  gid_t group = RunningAsRoot() ? NOGROUP : ::getegid();
  uid_t other = 0;
};

void Own(const std::string& path, uid_t uid, gid_t gid) { ASSERT_EQ(::lchown(path.c_str(), uid, gid), 0) << path; }

struct stat LinkStatus(const std::string& path) {
  struct stat info {};
  ::lstat(path.c_str(), &info);
  return info;
}

// What the settings path is before the write.
enum class Setup {
  kOwnFile,
  kOwnLinkToOwnFile,
  kOwnLinkChainToOwnFile,
  kOwnLinkToOthersFile,
  kOthersLinkToOwnFile,
  kOwnDanglingLink,
  kOthersFile,
  kReadOnlyOwnFile,
};

struct OwnershipCase {
  const char* name;
  Setup setup;
  bool written;
  bool needsOtherUser;
};

void PrintTo(const OwnershipCase& c, std::ostream* os) { *os << c.name; }

class SavingOwnership : public ::testing::TestWithParam<OwnershipCase> {
 protected:
  void SetUp() override {
    if (GetParam().needsOtherUser && !RunningAsRoot()) GTEST_SKIP() << "another user's file needs root to make";
    Own(folder_.path().string(), users_.user, users_.group);
  }
  // A file of `uid` with the old settings.
  std::string File(const std::string& name, uid_t uid, mode_t mode = 0644) {
    const std::string path = folder_.File(name);
    WriteFile(path, OLD);
    Own(path, uid, uid == users_.user ? users_.group : 0);
    ::chmod(path.c_str(), mode);
    return path;
  }
  void Link(const std::string& target, const std::string& link, uid_t uid) {
    fs::create_symlink(target, link);
    Own(link, uid, uid == users_.user ? users_.group : 0);
  }

  Users users_;
  TempFolder folder_;
  const std::string ini_ = folder_.File("vorna.ini");
};

TEST_P(SavingOwnership, ReplacesOnlyARegularFileTheUserOwnsAndMayWrite) {
  std::string target = ini_;
  mode_t mode = 0644;
  switch (GetParam().setup) {
    case Setup::kOwnFile:
      mode = 0640;
      File("vorna.ini", users_.user, mode);
      break;
    case Setup::kOwnLinkToOwnFile:
      target = File("real.ini", users_.user);
      Link(target, ini_, users_.user);
      break;
    case Setup::kOwnLinkChainToOwnFile:
      target = File("real.ini", users_.user);
      Link("real.ini", folder_.File("middle.ini"), users_.user);
      Link("middle.ini", ini_, users_.user);
      break;
    case Setup::kOwnLinkToOthersFile:
      target = File("theirs.ini", users_.other);
      Link(target, ini_, users_.user);
      break;
    case Setup::kOthersLinkToOwnFile:
      target = File("real.ini", users_.user);
      Link(target, ini_, users_.other);
      break;
    case Setup::kOwnDanglingLink:
      target = folder_.File("gone.ini");
      Link(target, ini_, users_.user);
      break;
    case Setup::kOthersFile:
      File("vorna.ini", users_.other);
      break;
    case Setup::kReadOnlyOwnFile:
      mode = 0444;
      File("vorna.ini", users_.user, mode);
      break;
  }
  const bool existed = fs::exists(target);
  const struct stat before = LinkStatus(target);
  const bool wasLink = fs::is_symlink(ini_);

  const bool written = test::RunUnprivilegedFor([this] { return WriteProfileString(ini_, "SETTING", "COM", "8"); });

  EXPECT_EQ(written, GetParam().written);
  EXPECT_EQ(fs::is_symlink(ini_), wasLink) << "the link was replaced";
  ASSERT_EQ(fs::exists(target), existed) << "a file was created at the end of a link";
  if (!existed) return;
  EXPECT_EQ(ReadFile(target), GetParam().written ? NEW : OLD);
  const struct stat after = LinkStatus(target);
  EXPECT_EQ(after.st_uid, before.st_uid) << "the owner changed";
  EXPECT_EQ(after.st_gid, before.st_gid) << "the group changed";
  EXPECT_EQ(after.st_mode & 07777, mode) << "the mode changed";
}

INSTANTIATE_TEST_SUITE_P(
    Setups, SavingOwnership,
    ::testing::Values(OwnershipCase{"OwnFile", Setup::kOwnFile, true, false},
                      OwnershipCase{"OwnLinkToOwnFile", Setup::kOwnLinkToOwnFile, true, false},
                      OwnershipCase{"OwnLinkChainToOwnFile", Setup::kOwnLinkChainToOwnFile, true, false},
                      OwnershipCase{"OwnLinkToOthersFile", Setup::kOwnLinkToOthersFile, false, true},
                      OwnershipCase{"OthersLinkToOwnFile", Setup::kOthersLinkToOwnFile, false, true},
                      OwnershipCase{"OwnDanglingLink", Setup::kOwnDanglingLink, false, false},
                      OwnershipCase{"OthersFile", Setup::kOthersFile, false, true},
                      OwnershipCase{"ReadOnlyOwnFile", Setup::kReadOnlyOwnFile, false, false}),
    [](const auto& info) { return std::string(info.param.name); });

// The reported case: root saving through its own link to an ordinary
// user's file must not make the file root's.
TEST(SavingOwnershipAsRoot, LinkToAnotherUsersFileIsNotTakenOver) {
  if (!RunningAsRoot()) GTEST_SKIP() << "the case is root's";
  TempFolder folder;
  const std::string theirs = folder.File("theirs.ini");
  WriteFile(theirs, OLD);
  Own(theirs, NOBODY, NOGROUP);
  const std::string ini = folder.File("vorna.ini");
  fs::create_symlink(theirs, ini);
  EXPECT_FALSE(WriteProfileString(ini, "SETTING", "COM", "8"));
  EXPECT_EQ(ReadFile(theirs), OLD);
  EXPECT_EQ(LinkStatus(theirs).st_uid, NOBODY);
  EXPECT_TRUE(fs::is_symlink(ini));
}

TEST(SavingOwnershipAsRoot, GroupOtherThanTheWritersStays) {
  if (!RunningAsRoot()) GTEST_SKIP() << "giving a file a group the writer is not in needs root";
  TempFolder folder;
  const std::string ini = folder.File("vorna.ini");
  WriteFile(ini, OLD);
  Own(ini, 0, NOGROUP);
  ::chmod(ini.c_str(), 0660);
  EXPECT_TRUE(WriteProfileString(ini, "SETTING", "COM", "8"));
  EXPECT_EQ(ReadFile(ini), NEW);
  EXPECT_EQ(LinkStatus(ini).st_gid, NOGROUP);
  EXPECT_EQ(LinkStatus(ini).st_mode & 07777, 0660u);
}

// Line ends: every line the update does not touch keeps its bytes.
struct LineEndCase {
  const char* name;
  const char* before;
  const char* after;
};

void PrintTo(const LineEndCase& c, std::ostream* os) { *os << c.name; }

class LineEnds : public ::testing::TestWithParam<LineEndCase> {};

TEST_P(LineEnds, AreKeptLineByLine) {
  TempFolder folder;
  const std::string ini = folder.File("vorna.ini");
  WriteFile(ini, GetParam().before);
  ASSERT_TRUE(WriteProfileStrings(ini, "SETTING", {{"COM", "7"}, {"FILE", "new.hex"}}));
  EXPECT_EQ(ReadFile(ini), GetParam().after);
}

INSTANTIATE_TEST_SUITE_P(
    Files, LineEnds,
    ::testing::Values(
        LineEndCase{"Mixed", "; head\r\n[SETTING]\nCOM=1\r\nX = keep \n\nFILE=old.hex\n[Other]\r\nA=1",
                    "; head\r\n[SETTING]\nCOM=7\r\nX = keep \n\nFILE=new.hex\n[Other]\r\nA=1"},
        LineEndCase{"NewKeyEndsAsTheLineBefore", "[SETTING]\r\nCOM=1\n[Other]\r\n",
                    "[SETTING]\r\nCOM=7\nFILE=new.hex\n[Other]\r\n"},
        LineEndCase{"LastLineWithoutEnd", "[SETTING]\r\nCOM=1", "[SETTING]\r\nCOM=7\r\nFILE=new.hex"},
        LineEndCase{"NewSectionAfterALastLineWithoutEnd", "[Other]\r\nA=1",
                    "[Other]\r\nA=1\r\n\r\n[SETTING]\r\nCOM=7\r\nFILE=new.hex\r\n"},
        LineEndCase{"CarriageReturnOnlyAtTheEnd", "[SETTING]\nCOM=1\r", "[SETTING]\nCOM=7\rFILE=new.hex\r"},
        LineEndCase{"CarriageReturnsOnly", "[SETTING]\rCOM=1\rFILE=old.hex\r", "[SETTING]\rCOM=7\rFILE=new.hex\r"},
        LineEndCase{"ByteOrderMarkAndCrLf", "\xEF\xBB\xBF[SETTING]\r\nFILE=a\r\nCOM=2\n",
                    "\xEF\xBB\xBF[SETTING]\r\nFILE=new.hex\r\nCOM=7\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LineEndsAtScale, AHandKeptFileOfMixedLineEndsChangesOnlyInTheUpdatedLines) {
  std::mt19937 random(151);
  std::string before;
  std::size_t crs = 0;
  for (int i = 0; i < 20000; ++i) {
    if (i == 10000) before += "[SETTING]\nCOM=1\r\nFILE=old.hex\n";
    const bool crlf = random() % 7 == 0;
    crs += crlf ? 1 : 0;
    before += "[S" + std::to_string(i) + "]" + (crlf ? "\r\n" : "\n") + "K=v" + (crlf ? "\r\n" : "\n");
  }
  TempFolder folder;
  const std::string ini = folder.File("vorna.ini");
  WriteFile(ini, before);
  ASSERT_TRUE(WriteProfileStrings(ini, "SETTING", {{"COM", "7"}, {"FILE", "new.hex"}}));
  std::string expected = before;
  expected.replace(expected.find("COM=1"), 5, "COM=7");
  expected.replace(expected.find("FILE=old.hex"), 12, "FILE=new.hex");
  EXPECT_EQ(ReadFile(ini), expected) << crs << " lines end in CR LF";
}

}  // namespace
}  // namespace vorna
