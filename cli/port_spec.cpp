#include "cli/port_spec.h"

#include <algorithm>
#include <charconv>

#include "base/ascii_text.h"

namespace vorna::cli {

namespace {

constexpr const char* WHAT_TO_GIVE = "give a port number from 1, a list such as 1,3,5, auto or all";

}  // namespace

PortSpecParse ParsePortSpec(std::string_view text) {
  if (text.empty()) return {{}, "needs a port number, not ''"};
  if (EqualsIgnoringCase(text, "auto")) return {{PortSpecKind::Auto, {}}, {}};
  if (EqualsIgnoringCase(text, "all")) return {{PortSpecKind::All, {}}, {}};
  PortSpec spec{PortSpecKind::Numbers, {}};
  std::size_t start = 0;
  while (true) {
    const std::size_t comma = std::min(text.find(',', start), text.size());
    const std::string_view item = text.substr(start, comma - start);
    int number = 0;
    const auto [end, error] = std::from_chars(item.data(), item.data() + item.size(), number);
    if (item.empty() || error != std::errc() || end != item.data() + item.size() || number < 1)
      return {{}, std::string(text) + ": " + WHAT_TO_GIVE};
    if (std::find(spec.numbers.begin(), spec.numbers.end(), number) != spec.numbers.end())
      return {{}, std::string(text) + ": COM" + std::to_string(number) + " is given twice"};
    spec.numbers.push_back(number);
    if (comma == text.size()) return {spec, {}};
    start = comma + 1;
  }
}

}  // namespace vorna::cli
