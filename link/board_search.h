#pragma once
// Which of the discovered ports can be the board, so that a user with one
// board connected need not know its port number. A port can be the board
// when a port alias leads to it (the user said so, pseudo-terminals
// included) or when it is a USB device; a built-in serial port never is
// unless an alias leads to it. The board's USB IDs, when the user lists
// them, narrow the USB devices to those listed. A port held by another
// program stays a candidate: taking another board in its place would be
// wrong, and opening it tells that it is in use.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "link/port_discovery.h"

namespace vorna {

// The variable that, when set, gives the board IDs in place of the file.
inline constexpr char BOARD_IDS_VARIABLE[] = "VORNA_BOARD_IDS";

struct BoardId {
  std::uint16_t vendor = 0;
  std::uint16_t product = 0;
  friend bool operator==(const BoardId&, const BoardId&) = default;
};

struct BoardIds {
  std::vector<BoardId> ids;           // none: every USB device can be the board
  std::vector<std::string> problems;  // each with its place; any of them makes the list unusable
};

// The board-ID file's text: one VID:PID a line (hex, four digits each, any
// case), blank lines and '#' comments allowed. A problem reads
// "<fileName>:3: 'xyz' is not VID:PID (four hex digits each)".
BoardIds ParseBoardIdLines(std::string_view text, std::string_view fileName);

// A variable's value: VID:PID items separated by commas, spaces or line
// ends. A problem reads "<variableName>: 'xyz' is not VID:PID (...)".
BoardIds ParseBoardIdItems(std::string_view text, std::string_view variableName);

// The IDs from `variable` when it is set (even to nothing), else from the
// file; a missing file lists none, one that cannot be read is a problem.
BoardIds LoadBoardIds(const std::string& boardsFile, const std::optional<std::string>& variable);

struct BoardCandidate {
  int portNumber = 0;  // its lowest; 0 when another device takes each number that would reach it
  DiscoveredPort port;
};

// The ports that can be the board, in the discovery's order (by lowest
// port number, then those no number reaches).
std::vector<BoardCandidate> BoardCandidates(const PortDiscovery& discovery, const std::vector<BoardId>& ids);

}  // namespace vorna
