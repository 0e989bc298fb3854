// Replacing a file on Windows: what is left of the ownership rule there (a
// regular file without the read-only attribute, or none), and a refused or
// failed replacement keeps the old file and leaves no temporary file.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <ostream>
#include <string>
#include <system_error>
#include <vector>

#include "base/file_replace.h"
#include "support/temp_folder.h"

namespace vorna {
namespace {

namespace fs = std::filesystem;
using test::TempFolder;

constexpr const char* OLD = "old";

std::string Contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void MakeReadOnly(const std::string& path) {
  fs::permissions(path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
}

struct TargetCase {
  const char* name;
  // Makes what stands at `path`.
  std::function<void(const TempFolder&, const std::string& path)> make;
  bool replaced;
  std::vector<std::string> namesAfter;
};

void PrintTo(const TargetCase& c, std::ostream* os) { *os << c.name; }

class ReplaceTargetTest : public ::testing::TestWithParam<TargetCase> {};

TEST_P(ReplaceTargetTest, OnlyAWritableRegularFileOrNoneIsReplaced) {
  const TargetCase& c = GetParam();
  const TempFolder folder;
  const std::string path = folder.path().string() + "\\settings.ini";
  c.make(folder, path);
  const bool existed = fs::exists(path);

  const std::optional<ReplaceTarget> target = FindOwnReplaceTarget(path);
  ASSERT_EQ(target.has_value(), c.replaced);
  if (target) {
    EXPECT_EQ(target->path, path);
    EXPECT_EQ(target->exists, existed);
  }

  const std::error_code error = ReplaceFileAtomically(path, "new");
  if (c.replaced) {
    EXPECT_FALSE(error) << error.message();
    EXPECT_EQ(Contents(path), "new");
  } else {
    EXPECT_EQ(error, std::errc::permission_denied) << error.message();
    if (fs::is_regular_file(path)) EXPECT_EQ(Contents(path), OLD);
  }
  EXPECT_EQ(folder.Names(), c.namesAfter);
  std::error_code ignored;
  fs::permissions(path, fs::perms::owner_write, fs::perm_options::add, ignored);
}

INSTANTIATE_TEST_SUITE_P(
    Targets, ReplaceTargetTest,
    ::testing::Values(TargetCase{"Missing", [](const TempFolder&, const std::string&) {}, true, {"settings.ini"}},
                      TargetCase{"WritableFile",
                                 [](const TempFolder& f, const std::string&) { f.Write("settings.ini", OLD); },
                                 true,
                                 {"settings.ini"}},
                      TargetCase{"ReadOnlyFile",
                                 [](const TempFolder& f, const std::string& path) {
                                   f.Write("settings.ini", OLD);
                                   MakeReadOnly(path);
                                 },
                                 false,
                                 {"settings.ini"}},
                      TargetCase{"Folder",
                                 [](const TempFolder&, const std::string& path) { fs::create_directory(path); },
                                 false,
                                 {"settings.ini"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReplaceFileAtomicallyWin32, MissingFoldersOnTheWayAreCreated) {
  const TempFolder folder;
  const std::string path = folder.path().string() + "\\a\\b\\settings.ini";
  ASSERT_FALSE(ReplaceFileAtomically(path, "new"));
  EXPECT_EQ(Contents(path), "new");
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder.path() / "a" / "b"))
    names.push_back(entry.path().filename().string());
  EXPECT_EQ(names, std::vector<std::string>{"settings.ini"});
}

}  // namespace
}  // namespace vorna
