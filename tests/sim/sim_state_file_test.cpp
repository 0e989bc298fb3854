// The board's stored defaults and its atomically written files.

#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <string>
#include <utility>

#include "base/file_io.h"
#include "sim/state_file.h"
#include "support/temp_folder.h"

namespace vorna::sim {
namespace {

TEST(StateFile, RoundTrips) {
  BoardState state = PowerOnState();
  state.bytes[SNAPSHOT_A0] = 0xB1;
  state.bytes[SNAPSHOT_CHANNEL] = 205;
  const std::string text = FormatStateFile(state);
  EXPECT_NE(text.find("b1 b4 06 58 2a 00 1a 00 1b cd\n"), std::string::npos);
  const StateParse parse = ParseStateFile(text);
  ASSERT_TRUE(parse.state) << parse.error;
  EXPECT_EQ(*parse.state, state);
}

TEST(StateFile, SkipsCommentsAndBlankLines) {
  const StateParse parse = ParseStateFile("# note\n\n# another\n21 B4 06 58 2A 00 1A 00 1B 06\n");
  ASSERT_TRUE(parse.state) << parse.error;
  EXPECT_EQ(*parse.state, PowerOnState());
}

struct BadStateCase {
  const char* name;
  std::string text;
  std::string error;
};
// Test names and failure messages show the case by its name.
void PrintTo(const BadStateCase& c, std::ostream* out) { *out << c.name; }

class BadStateFile : public testing::TestWithParam<BadStateCase> {};

TEST_P(BadStateFile, IsRejectedWithAReason) {
  const StateParse parse = ParseStateFile(GetParam().text);
  EXPECT_FALSE(parse.state);
  EXPECT_EQ(parse.error, GetParam().error);
}

INSTANTIATE_TEST_SUITE_P(Texts, BadStateFile,
                         testing::Values(BadStateCase{"Empty", "", "no line with the register bytes"},
                                         BadStateCase{"OnlyComments", "# x\n", "no line with the register bytes"},
                                         BadStateCase{"TooFew", "21 b4 06\n", "line 1: 3 bytes, expected 10"},
                                         BadStateCase{"TooMany", "# x\n21 b4 06 58 2a 00 1a 00 1b 06 07\n",
                                                      "line 2: more than 10 bytes"},
                                         BadStateCase{"NotHex", "21 b4 zz 58 2a 00 1a 00 1b 06\n",
                                                      "line 1: \"zz\" is not a two-digit hexadecimal byte"},
                                         BadStateCase{"ThreeDigits", "021 b4 06 58 2a 00 1a 00 1b 06\n",
                                                      "line 1: \"021\" is not a two-digit hexadecimal byte"},
                                         BadStateCase{"Signed", "+1 b4 06 58 2a 00 1a 00 1b 06\n",
                                                      "line 1: \"+1\" is not a two-digit hexadecimal byte"}),
                         [](const testing::TestParamInfo<BadStateCase>& info) { return std::string(info.param.name); });

// Only a regular file within the bound is read, at once: a device would
// never end, a FIFO would hold up the start.
TEST(StateFile, OnlyARegularFileWithinTheBoundIsRead) {
  test::TempFolder folder;
  const std::pair<std::string, std::string> files[] = {
      {"/dev/zero", "not a regular file"},
      {folder.MakeFifo("fifo"), "not a regular file"},
      {folder.Write("large", std::string(STATE_FILE_SIZE_LIMIT + 1, '#')), "larger than 1048576 bytes"}};
  for (const auto& [path, why] : files) {
    bool missing = true;
    const StateParse parse = ReadStateFile(path, missing);
    EXPECT_FALSE(parse.state || missing);
    EXPECT_EQ(parse.error, "cannot read " + path + ": " + why);
  }
}

class AtomicWrite : public testing::Test {
 protected:
  test::TempFolder folder_;
};

TEST_F(AtomicWrite, ReplacesTheFileAndLeavesNothingElse) {
  const std::string path = (folder_ / "program.bin").string();
  const std::vector<std::uint8_t> first = {1, 2, 3, 4};
  const std::vector<std::uint8_t> second = {0xFF, 0x00};
  ASSERT_EQ(WriteFileAtomically(path, first), "");
  ASSERT_EQ(WriteFileAtomically(path, second), "");
  const auto content = ReadWholeFile(path);
  ASSERT_TRUE(content);
  EXPECT_EQ(*content, std::string("\xFF\x00", 2));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder_.path()), std::filesystem::directory_iterator()),
            1);
}

TEST_F(AtomicWrite, FailsInAMissingFolderNamingThePath) {
  const std::string path = (folder_ / "missing" / "state").string();
  const std::string error = WriteFileAtomically(path, std::vector<std::uint8_t>{1});
  EXPECT_TRUE(error.starts_with("cannot create " + path + ".")) << error;
  EXPECT_FALSE(ReadWholeFile(path));
}

}  // namespace
}  // namespace vorna::sim
