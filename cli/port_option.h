#pragma once
// What --port (or VORNA_PORT) names: one port number, a list of them, the
// one board that can be found, or every board that can.

#include <string>
#include <string_view>
#include <vector>

namespace vorna::cli {

enum class PortOptionKind {
  Numbers,  // "3", "1,3,5"
  Auto,     // "auto": the one board found
  All,      // "all": every board found
};

struct PortOption {
  PortOptionKind kind = PortOptionKind::Auto;
  std::vector<int> numbers;  // for Numbers, as given
  // Several boards at once: a list, or "all" whatever it finds. A list of one
  // number is one board.
  bool ManyBoards() const { return kind == PortOptionKind::All || numbers.size() > 1; }
};

struct PortOptionParse {
  PortOption option;
  std::string error;  // why `text` names no port; empty when it does
};

// "auto" and "all" in any case; numbers from 1, decimal, each at most once.
PortOptionParse ParsePortOption(std::string_view text);

}  // namespace vorna::cli
