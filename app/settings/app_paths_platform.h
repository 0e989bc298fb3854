#pragma once
// The part of app_paths.cpp that differs between the platforms, in
// app_paths_posix.cpp and app_paths_win32.cpp.

#include <cstddef>
#include <string_view>

namespace vorna {

// How many leading characters of `path` name a root folder, separator
// included: 1 for "/x" (and "\x" on Windows), 3 for "C:\x" on Windows,
// 0 for a relative path.
std::size_t RootLength(std::string_view path);

}  // namespace vorna
