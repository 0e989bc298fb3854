#pragma once
// Bytes as hex text, as every log, trace and message of this program shows
// them.

#include <cstdint>
#include <span>
#include <string>

namespace vorna {

// Appends `value` as two lower-case hex digits.
void AppendHexByte(std::string& text, std::uint8_t value);

// "aa 03 01 00 21": two lower-case hex digits a byte, separated by single
// spaces.
std::string HexBytes(std::span<const std::uint8_t> bytes);

}  // namespace vorna
