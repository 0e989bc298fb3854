#include "cli/port_option.h"

#include <algorithm>
#include <charconv>

#include "base/ascii_text.h"

namespace vorna::cli {

namespace {

constexpr const char* WHAT_TO_GIVE = "give a port number from 1, a list such as 1,3,5, auto or all";

}  // namespace

PortOptionParse ParsePortOption(std::string_view text) {
  if (text.empty()) return {{}, "needs a port number, not ''"};
  if (EqualsIgnoringCase(text, "auto")) return {{PortOptionKind::Auto, {}}, {}};
  if (EqualsIgnoringCase(text, "all")) return {{PortOptionKind::All, {}}, {}};
  PortOption option{PortOptionKind::Numbers, {}};
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = std::min(text.find(',', start), text.size());
    const std::string_view item = text.substr(start, comma - start);
    int number = 0;
    const auto [end, error] = std::from_chars(item.data(), item.data() + item.size(), number);
    if (item.empty() || error != std::errc() || end != item.data() + item.size() || number < 1)
      return {{}, std::string(text) + ": " + WHAT_TO_GIVE};
    if (std::find(option.numbers.begin(), option.numbers.end(), number) != option.numbers.end())
      return {{}, std::string(text) + ": COM" + std::to_string(number) + " is given twice"};
    option.numbers.push_back(number);
    if (comma == text.size()) return {option, {}};
    start = comma + 1;
  }
}

}  // namespace vorna::cli
