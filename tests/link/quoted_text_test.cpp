// Control characters of outside text, escaped for a terminal.

#include "link/quoted_text.h"

#include <gtest/gtest.h>

#include <string>

namespace vorna {
namespace {

struct EscapeRow {
  const char* name;
  std::string text;
  std::string shown;
};

void PrintTo(const EscapeRow& row, std::ostream* os) { *os << row.name; }

class EscapeRows : public ::testing::TestWithParam<EscapeRow> {};

TEST_P(EscapeRows, ShowsEachControlAsItsHexCode) { EXPECT_EQ(EscapeControls(GetParam().text), GetParam().shown); }

INSTANTIATE_TEST_SUITE_P(Texts, EscapeRows,
                         ::testing::Values(EscapeRow{"Plain", "C:\\dir/b c.vprof", "C:\\dir/b c.vprof"},
                                           EscapeRow{"EscapeSequenceAndBell", "PE\x1b[2J\a", "PE\\x1b[2J\\x07"},
                                           EscapeRow{"LineBreaksAndTab", "a\tb\r\n", "a\\x09b\\x0d\\x0a"},
                                           EscapeRow{"NulAndDelete", std::string("\0\x7f", 2), "\\x00\\x7f"},
                                           EscapeRow{"C1ControlInUtf8",
                                                     "\xc2\x9b"
                                                     "31m",
                                                     "\\xc2\\x9b31m"},
                                           EscapeRow{"LettersAndBadBytesStay", "\xc3\xa9\xc2\xa0\xff\xc2",
                                                     "\xc3\xa9\xc2\xa0\xff\xc2"}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vorna
