#pragma once
// The number readings of the dialogs, done by hand so that any text a user
// types is handled without undefined behaviour.

#include <cstdint>
#include <optional>
#include <string_view>

namespace vorna {

// A "%d" conversion: leading white space, one optional sign, decimal digits
// up to the first other character. nullopt when no digit is read, and also
// when the number does not fit a signed 32-bit integer (the caller then keeps
// its old value).
std::optional<std::int32_t> ScanDecimal(std::string_view text);

// A "%x" conversion: leading white space, one optional sign, an optional 0x
// or 0X, hexadecimal digits up to the first other character. The digits
// accumulate modulo 2^32 and a minus sign negates modulo 2^32. nullopt when
// no digit is read.
std::optional<std::int32_t> ScanHex(std::string_view text);

}  // namespace vorna
