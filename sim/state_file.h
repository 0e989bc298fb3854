#pragma once
// The board's persistent memory: the stored power-on defaults, and the files
// the board's work ends up in, written so that a reader never sees half a
// file.
//
// State file format: text, lines starting with '#' are comments, and one
// line holds the ten snapshot bytes (A0 to A8, then the channel) as
// two-digit hexadecimal numbers separated by single spaces.

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "sim/board_protocol.h"

namespace vorna::sim {

std::string FormatStateFile(const BoardState& state);

struct StateParse {
  std::optional<BoardState> state;
  std::string error;  // why `state` is empty
};
StateParse ParseStateFile(const std::string& text);

// A state file is a line and a comment or two; a file this large is
// something else (the same bound as the desktop application's settings).
inline constexpr std::size_t STATE_FILE_SIZE_LIMIT = std::size_t{1} << 20;

// Reads and parses the state file at `path`. Only a regular file of at most
// STATE_FILE_SIZE_LIMIT bytes is read: a FIFO is refused, not waited for,
// and a device (/dev/zero) is never read. `missing` tells a file that does
// not exist, which is no error; `error` otherwise says what failed,
// "cannot read PATH: why" or "PATH: line 2: ...".
StateParse ReadStateFile(const std::string& path, bool& missing);

// Writes `bytes` to a temporary file beside `path`, then renames it over
// `path`. Returns an empty string on success, else what failed.
std::string WriteFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes);

}  // namespace vorna::sim
