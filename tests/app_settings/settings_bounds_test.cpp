// The settings file is read with bounds: whatever the path names, reading
// ends at once, takes memory in proportion to a settings file, and a file
// that cannot be settings is neither read nor replaced. Each case runs in a
// child with an alarm and an address-space limit, so that a reader that
// blocks or grows fails the case instead of hanging or taking the machine.

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>

#include "app/settings/settings_file.h"
#include "support/temp_folder.h"

namespace vorna {
namespace {

namespace fs = std::filesystem;
using test::TempFolder;

constexpr unsigned CHILD_SECONDS = 10;
// Far more than a bounded reader needs, far less than an unbounded one
// takes on /dev/zero; sanitizers reserve more, so it is lifted there.
#if defined(__SANITIZE_ADDRESS__)
constexpr rlim_t CHILD_ADDRESS_SPACE = RLIM_INFINITY;
#else
constexpr rlim_t CHILD_ADDRESS_SPACE = rlim_t{512} << 20;
#endif
constexpr const char* SETTINGS = "[SETTING]\nCOM=5\nFILE=p.hex\n";

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

// Runs `check` in a child; its exit status: 0 when `check` held, 1 when
// not, -1 when the child was killed (the alarm, or memory).
int InBoundedChild(const std::function<bool()>& check) {
  const pid_t child = ::fork();
  if (child == 0) {
    ::alarm(CHILD_SECONDS);
    const rlimit space{CHILD_ADDRESS_SPACE, CHILD_ADDRESS_SPACE};
    ::setrlimit(RLIMIT_AS, &space);
    ::_exit(check() ? 0 : 1);
  }
  int status = 0;
  if (child < 0 || ::waitpid(child, &status, 0) != child) return -2;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Reads as a missing file: the defaults come back.
bool ReadsAsMissing(const std::string& path) {
  return ReadProfileInt(path, "SETTING", "COM", 1) == 1 && ReadProfileString(path, "SETTING", "FILE", "") == "";
}

enum class Place { kFifo, kLinkToDevZero, kLinkToDevNull, kFolder };

struct UnusableCase {
  const char* name;
  Place place;
};

void PrintTo(const UnusableCase& c, std::ostream* os) { *os << c.name; }

class NotARegularFile : public ::testing::TestWithParam<UnusableCase> {};

TEST_P(NotARegularFile, ReadsAsMissingAtOnceAndIsNotReplaced) {
  TempFolder folder;
  const std::string ini = folder.File("vorna.ini");
  switch (GetParam().place) {
    case Place::kFifo:
      ASSERT_EQ(::mkfifo(ini.c_str(), 0600), 0);
      break;
    case Place::kLinkToDevZero:
      fs::create_symlink("/dev/zero", ini);
      break;
    case Place::kLinkToDevNull:
      fs::create_symlink("/dev/null", ini);
      break;
    case Place::kFolder:
      fs::create_directory(ini);
      break;
  }
  const auto before = fs::symlink_status(ini).type();
  EXPECT_EQ(InBoundedChild([&] { return ReadsAsMissing(ini); }), 0) << "-1: blocked or grew without bound";
  EXPECT_EQ(InBoundedChild([&] { return !WriteProfileStrings(ini, "SETTING", {{"COM", "2"}, {"FILE", ""}}); }), 0);
  EXPECT_EQ(fs::symlink_status(ini).type(), before) << "the place was replaced";
  EXPECT_EQ(folder.Names(), std::vector<std::string>{"vorna.ini"});
}

INSTANTIATE_TEST_SUITE_P(Places, NotARegularFile,
                         ::testing::Values(UnusableCase{"Fifo", Place::kFifo},
                                           UnusableCase{"LinkToDevZero", Place::kLinkToDevZero},
                                           UnusableCase{"LinkToDevNull", Place::kLinkToDevNull},
                                           UnusableCase{"Folder", Place::kFolder}),
                         [](const auto& info) { return std::string(info.param.name); });

// Settings at the start, then blank lines up to `size` bytes: a hand-kept
// file grown by mistake, and the worst case for a line splitter.
std::string PaddedSettings(std::size_t size) {
  std::string content = SETTINGS;
  content.resize(size, '\n');
  return content;
}

struct SizeCase {
  const char* name;
  std::size_t size;
  bool usable;
};

void PrintTo(const SizeCase& c, std::ostream* os) { *os << c.name; }

class SizeCap : public ::testing::TestWithParam<SizeCase> {};

TEST_P(SizeCap, FileUpToTheCapIsSettingsBeyondItNeitherReadNorReplaced) {
  TempFolder folder;
  const std::string ini = folder.File("vorna.ini");
  const std::string content = PaddedSettings(GetParam().size);
  WriteFile(ini, content);
  EXPECT_EQ(InBoundedChild([&] { return ReadProfileInt(ini, "SETTING", "COM", 1) == (GetParam().usable ? 5 : 1); }), 0);
  const bool written = WriteProfileStrings(ini, "SETTING", {{"COM", "7"}, {"FILE", "p.hex"}});
  EXPECT_EQ(written, GetParam().usable);
  if (GetParam().usable) {
    std::string expected = content;
    expected.replace(expected.find("COM=5"), 5, "COM=7");
    EXPECT_EQ(ReadFile(ini), expected);
  } else {
    EXPECT_EQ(ReadFile(ini), content) << "a file beyond the cap was replaced";
  }
}

INSTANTIATE_TEST_SUITE_P(Sizes, SizeCap,
                         ::testing::Values(SizeCase{"Small", 100, true},
                                           SizeCase{"AtTheCap", SETTINGS_FILE_SIZE_LIMIT, true},
                                           SizeCase{"OneByteOver", SETTINGS_FILE_SIZE_LIMIT + 1, false},
                                           SizeCase{"SixteenMegabytes", std::size_t{16} << 20, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SizeCap, LinkToAHugeFileIsNeitherReadNorFollowedForWriting) {
  TempFolder folder;
  const std::string huge = folder.File("huge.ini");
  const std::string content = PaddedSettings(SETTINGS_FILE_SIZE_LIMIT * 4);
  WriteFile(huge, content);
  const std::string ini = folder.File("vorna.ini");
  fs::create_symlink(huge, ini);
  EXPECT_EQ(InBoundedChild([&] { return ReadsAsMissing(ini); }), 0);
  EXPECT_FALSE(WriteProfileString(ini, "SETTING", "COM", "2"));
  EXPECT_TRUE(fs::is_symlink(ini));
  EXPECT_EQ(fs::file_size(huge), content.size());
}

}  // namespace
}  // namespace vorna
