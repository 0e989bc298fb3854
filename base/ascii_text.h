#pragma once
// Reading text the same whatever the process locale: blanks and letter
// case as the "C" locale knows them.

#include <string_view>

namespace vorna {

// White space within a line: space, tab, carriage return, vertical tab,
// form feed; not the line feed.
bool IsBlank(char c);

// White space as isspace() knows it in the "C" locale: IsBlank and the
// line feed.
bool IsSpace(char c);

// `text` without the blanks (IsBlank) at either end.
std::string_view Trim(std::string_view text);

// Whether `a` and `b` are the same text once ASCII letters are taken in one
// case.
bool EqualsIgnoringCase(std::string_view a, std::string_view b);

}  // namespace vorna
