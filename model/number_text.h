#pragma once
// Numbers as text without consulting the process locale. The desktop
// application runs under the user's locale (many write a decimal comma), but
// the summary, the register dump, the dialogs' texts and the settings file
// have one fixed form whatever the desktop's language.

#include <cstdint>
#include <string>

namespace vorna {

// As "%d".
std::string DecimalText(std::int64_t value);
// As "%x": lower case, no prefix, no leading zeros.
std::string HexText(std::uint32_t value);
// As "%.<decimals>f" in the "C" locale: always a '.' and no grouping.
std::string FixedText(double value, int decimals);

}  // namespace vorna
