#include "commands/text_scan.h"

#include <limits>

#include "base/ascii_text.h"

namespace vorna {

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

struct Start {
  std::size_t position;
  bool negative;
};

Start SkipBlanksAndSign(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  return {i, negative};
}

}  // namespace

std::optional<std::int32_t> ScanDecimal(std::string_view text) {
  auto [i, negative] = SkipBlanksAndSign(text);
  // Magnitude limit: 2147483647, or 2147483648 after a minus sign.
  const std::uint64_t limit = static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max()) + (negative ? 1 : 0);
  std::uint64_t value = 0;
  bool anyDigit = false;
  bool overflow = false;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    anyDigit = true;
    if (!overflow) {
      value = value * 10 + static_cast<std::uint64_t>(text[i] - '0');
      overflow = value > limit;
    }
  }
  if (!anyDigit || overflow) return std::nullopt;
  const std::int64_t signedValue = negative ? -static_cast<std::int64_t>(value) : static_cast<std::int64_t>(value);
  return static_cast<std::int32_t>(signedValue);
}

std::optional<std::int32_t> ScanHex(std::string_view text) {
  auto [i, negative] = SkipBlanksAndSign(text);
  // "0x" is a prefix only when a hex digit follows; "0xg" reads as 0.
  if (i + 2 < text.size() + 0 && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X') &&
      HexDigit(text[i + 2]) >= 0) {
    i += 2;
  }
  std::uint32_t value = 0;
  bool anyDigit = false;
  for (; i < text.size() && HexDigit(text[i]) >= 0; ++i) {
    anyDigit = true;
    value = (value << 4) | static_cast<std::uint32_t>(HexDigit(text[i]));
  }
  if (!anyDigit) return std::nullopt;
  if (negative) value = 0u - value;
  return static_cast<std::int32_t>(value);
}

}  // namespace vorna
