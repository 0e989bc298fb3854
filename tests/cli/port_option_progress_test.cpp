// Two texts vornactl reads or writes by hand: the --port value and the
// download's progress line.

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "cli/port_option.h"
#include "cli/progress.h"

namespace vorna::cli {
namespace {

using std::chrono::milliseconds;

struct PortOptionRow {
  const char* text;
  PortOptionKind kind;
  std::vector<int> numbers;
  const char* error;  // a part of it; empty when the text is good
};

TEST(PortOption, ReadsNumbersListsAndWords) {
  const PortOptionRow rows[] = {
      {"3", PortOptionKind::Numbers, {3}, ""},
      {"5,1,3", PortOptionKind::Numbers, {5, 1, 3}, ""},
      {"AUTO", PortOptionKind::Auto, {}, ""},
      {"all", PortOptionKind::All, {}, ""},
      {"", {}, {}, "needs a port number, not ''"},
      {"0", {}, {}, "0: give a port number from 1"},
      {"-2", {}, {}, "-2: give a port number from 1"},
      {"+2", {}, {}, "+2: give"},
      {" 2", {}, {}, " 2: give"},
      {"3x", {}, {}, "3x: give"},
      {"1,,3", {}, {}, "1,,3: give"},
      {"1,", {}, {}, "1,: give"},
      {"99999999999", {}, {}, "99999999999: give"},
      {"2,7,2", {}, {}, "2,7,2: COM2 is given twice"},
  };
  for (const PortOptionRow& row : rows) {
    const PortOptionParse parse = ParsePortOption(row.text);
    EXPECT_NE(parse.error.find(row.error), std::string::npos) << row.text << ": " << parse.error;
    if (*row.error != '\0') {
      EXPECT_FALSE(parse.error.empty()) << row.text;
      continue;
    }
    EXPECT_EQ(parse.error, "") << row.text;
    EXPECT_EQ(parse.option.kind, row.kind) << row.text;
    EXPECT_EQ(parse.option.numbers, row.numbers) << row.text;
  }
  EXPECT_FALSE(ParsePortOption("3").option.ManyBoards());
  EXPECT_TRUE(ParsePortOption("3,4").option.ManyBoards());
  EXPECT_FALSE(ParsePortOption("auto").option.ManyBoards());
  EXPECT_TRUE(ParsePortOption("all").option.ManyBoards());
}

struct ProgressRow {
  std::size_t sent, total;
  milliseconds elapsed;
  const char* afterBar;  // what follows "] "
};

TEST(ProgressLine, GivesPercentRateAndTimeLeft) {
  const ProgressRow rows[] = {
      {0, 16384, milliseconds(0), "0% 0/16384 bytes"},
      // Too short a time to tell a rate by.
      {640, 16384, milliseconds(150), "3% 640/16384 bytes"},
      {8192, 16384, milliseconds(1000), "50% 8192/16384 bytes, 8.2 kB/s, 0:01 left"},
      {500, 1000, milliseconds(1000), "50% 500/1000 bytes, 500 B/s, 0:01 left"},
      // A second and a bit still to go is two seconds, never "0:00".
      {1000, 2100, milliseconds(1000), "47% 1000/2100 bytes, 1.0 kB/s, 0:02 left"},
      {16384, 16384, milliseconds(2000), "100% 16384/16384 bytes, 8.2 kB/s"},
      {3000000, 6000000, milliseconds(1000), "50% 3000000/6000000 bytes, 3.0 MB/s, 0:01 left"},
      {10, 100000, milliseconds(1000), "0% 10/100000 bytes, 10 B/s, 2:46:39 left"},
      {1000, 100000, milliseconds(1000), "1% 1000/100000 bytes, 1.0 kB/s, 1:39 left"},
  };
  for (const ProgressRow& row : rows) {
    const std::string line = ProgressLine(row.sent, row.total, row.elapsed);
    ASSERT_EQ(line.find("] "), 41u) << line;
    EXPECT_EQ(line.substr(43), row.afterBar) << line;
  }
  EXPECT_EQ(ProgressLine(4096, 16384, milliseconds(0)).substr(0, 13), "[##########  ");
  EXPECT_EQ(ProgressLine(1, 0, milliseconds(5)), "");
}

}  // namespace
}  // namespace vorna::cli
