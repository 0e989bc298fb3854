#pragma once
// What --port (or VORNA_PORT) names: one port number, a list of them, the
// one board that can be found, or every board that can.

#include <string>
#include <string_view>
#include <vector>

namespace vorna::cli {

enum class PortSpecKind {
  Numbers,  // "3", "1,3,5"
  Auto,     // "auto": the one board found
  All,      // "all": every board found
};

struct PortSpec {
  PortSpecKind kind = PortSpecKind::Auto;
  std::vector<int> numbers;  // for Numbers, as given
  // Several boards at once: a list, or "all" whatever it finds. A list of one
  // number is one board.
  bool ManyBoards() const { return kind == PortSpecKind::All || numbers.size() > 1; }
};

struct PortSpecParse {
  PortSpec spec;
  std::string error;  // why `text` names no port; empty when it does
};

// "auto" and "all" in any case; numbers from 1, decimal, each at most once.
PortSpecParse ParsePortSpec(std::string_view text);

}  // namespace vorna::cli
