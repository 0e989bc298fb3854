#include "model/number_text.h"

#include <charconv>

namespace vorna {

namespace {

// Room for the widest double in fixed notation (309 digits) and its decimals.
constexpr std::size_t TEXT_CAPACITY = 400;

template <typename... Args>
std::string ToChars(Args... args) {
  char buffer[TEXT_CAPACITY];
  const auto [end, error] = std::to_chars(buffer, buffer + sizeof buffer, args...);
  return error == std::errc{} ? std::string(buffer, end) : std::string();
}

}  // namespace

std::string DecimalText(std::int64_t value) { return ToChars(value); }

std::string HexText(std::uint32_t value) { return ToChars(value, 16); }

std::string FixedText(double value, int decimals) { return ToChars(value, std::chars_format::fixed, decimals); }

}  // namespace vorna
