#pragma once
// How vornactl finds the board when the user gives no port number: the
// ports that can be the board (board_search.h), and what to say when there
// is not exactly one.

#include <string>
#include <vector>

#include "cli/vornactl.h"
#include "link/board_search.h"

namespace vorna::cli {

struct BoardSearch {
  std::vector<BoardCandidate> boards;  // by lowest port number
  // The board IDs could not be taken, each problem with its place: a
  // configuration error, and nothing was looked for.
  std::vector<std::string> problems;
  std::string error;              // the device tree could not be read
  std::vector<std::string> seen;  // `vornactl ports`' lines for the ports seen; none when none was
};

// The ports of env.portRoots that can be the board, the USB devices among
// them narrowed by the IDs of VORNA_BOARD_IDS (through env.variable) or
// else of env.portRoots.boardsFile. No device is opened, so none is held
// or reset for being looked at: opening a serial port raises DTR and RTS.
BoardSearch SearchBoards(const Environment& env);

// "no board found: no serial device" when no port was seen, else "no board
// found among these serial devices:", which the caller prints with
// PrintError and follows with search.seen, line by line.
std::string NoBoardText(const BoardSearch& search);

// "several boards: COM3 (/dev/ttyACM2, serial 1234), COM4 (/dev/ttyUSB0):
// choose one with --port", control characters escaped; a board that no
// number reaches is its device, "/dev/ttyUSB1 (serial 5678)".
std::string SeveralBoardsText(const std::vector<BoardCandidate>& boards);

}  // namespace vorna::cli
