#include "base/platform.h"

namespace vorna {

const std::string_view PATH_SEPARATORS = "/\\";
const std::string_view NEW_FILE_LINE_END = "\r\n";

}  // namespace vorna
