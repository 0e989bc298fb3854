#pragma once
// What differs between the platforms in plain text: how paths are
// separated and how this program's own text files end their lines.

#include <string_view>

namespace vorna {

// The characters that separate folders in a path ('/' first, the one this
// program writes).
extern const std::string_view PATH_SEPARATORS;

// The line end of text files this program creates.
extern const std::string_view NEW_FILE_LINE_END;

}  // namespace vorna
