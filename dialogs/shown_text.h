#pragma once
// The layers below the windows know no Qt and speak English: their texts
// (help texts, status texts, message box texts) are translated where the
// windows show them, with the English text as the key in one context.

#include <QString>

#include <string_view>

namespace vorna {

inline constexpr char SHOWN_TEXT_CONTEXT[] = "vorna";

// The translation of `english` as a whole, or `english` itself.
QString ShownText(std::string_view english);

// Each line of `english` ("\n" or "\r\n" apart, the separators kept)
// translated on its own, its leading spaces kept: as a whole; else with each
// run of digits standing for %1, %2, ... ("Download stopped after %1 of %2
// bytes"); else the known lead-in it starts with ("Can not open "), the rest
// as it is.
QString ShownLines(std::string_view english);

}  // namespace vorna
