// The board profile reader on any text: a text is either a profile or has
// problems, never both; problems come in line order and name lines the
// text has; and a profile it accepts is written back as a text that reads
// as the same profile.

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

#include "commands/profile.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const vorna::ProfileParse parse = vorna::ParseProfile(text);
  FUZZ_CHECK(parse.profile.has_value() == parse.problems.empty(), "a profile or its problems, never both");
  const auto lines = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1;
  std::size_t previous = 1;
  for (const auto& problem : parse.problems) {
    FUZZ_CHECK(problem.line >= previous && problem.line <= lines, "problems in line order, on lines of the text");
    FUZZ_CHECK(!problem.what.empty(), "every problem says what is wrong");
    previous = problem.line;
  }
  if (parse.profile) {
    const vorna::ProfileParse again = vorna::ParseProfile(vorna::FormatProfile(*parse.profile));
    FUZZ_CHECK(again.problems.empty() && again.profile == parse.profile,
               "an accepted profile is written back as itself");
  }
  return 0;
}
