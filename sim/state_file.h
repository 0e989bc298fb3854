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

// Writes `bytes` to a temporary file beside `path`, then renames it over
// `path`. Returns an empty string on success, else what failed.
std::string WriteFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes);

}  // namespace vorna::sim
