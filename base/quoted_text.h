#pragma once
// Text from outside — a line of a file, a file name, an option's value, a
// device's string — as a message shows it on a terminal.

#include <string>
#include <string_view>

namespace vorna {

// `text` with each control character written as \xNN (lower-case hex): the
// C0 controls, DEL, and the C1 controls as UTF-8 encodes them (C2 80 to
// C2 9F, both bytes). None can then move the cursor, ring the bell or start
// an escape sequence. Every other byte stays as it is.
std::string EscapeControls(std::string_view text);

}  // namespace vorna
