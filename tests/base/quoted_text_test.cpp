// Control characters of outside text, escaped for a terminal.

#include "base/quoted_text.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace vorna {
namespace {

TEST(EscapeControls, ShowsEachControlAsItsHexCodeAndKeepsTheRest) {
  const std::pair<std::string, std::string> rows[] = {
      {"C:\\dir/b c.vprof", "C:\\dir/b c.vprof"},
      {"PE\x1b[2J\a", "PE\\x1b[2J\\x07"},
      {"a\tb\r\n", "a\\x09b\\x0d\\x0a"},
      {std::string("\0\x7f", 2), "\\x00\\x7f"},
      {"\xc2\x9bm", "\\xc2\\x9bm"},                               // a C1 control in UTF-8
      {"\xc3\xa9\xc2\xa0\xff\xc2", "\xc3\xa9\xc2\xa0\xff\xc2"}};  // letters, bad bytes
  for (const auto& [text, shown] : rows) EXPECT_EQ(EscapeControls(text), shown);
}

}  // namespace
}  // namespace vorna
