#include "base/hex_text.h"

namespace vorna {
namespace {

constexpr char HEX_DIGITS[] = "0123456789abcdef";
constexpr unsigned NIBBLE_BITS = 4;
constexpr unsigned NIBBLE_MASK = 0x0F;

}  // namespace

// The virtual board logs every chunk in full, so this stays cheap: no printf.
void AppendHexByte(std::string& text, std::uint8_t value) {
  text += HEX_DIGITS[value >> NIBBLE_BITS];
  text += HEX_DIGITS[value & NIBBLE_MASK];
}

std::string HexBytes(std::span<const std::uint8_t> bytes) {
  std::string text;
  text.reserve(bytes.size() * 3);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i > 0) text += ' ';
    AppendHexByte(text, bytes[i]);
  }
  return text;
}

}  // namespace vorna
