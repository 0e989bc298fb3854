#include "base/quoted_text.h"

#include "base/hex_text.h"

namespace vorna {
namespace {

constexpr unsigned char FIRST_PRINTABLE = 0x20;
constexpr unsigned char DELETE = 0x7F;
constexpr unsigned char C1_LEAD = 0xC2;
constexpr unsigned char C1_LAST = 0x9F;
constexpr unsigned char CONTINUATION_FIRST = 0x80;

void AppendEscaped(std::string& out, unsigned char byte) {
  out += "\\x";
  AppendHexByte(out, byte);
}

}  // namespace

std::string EscapeControls(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
    if (byte == C1_LEAD && next >= CONTINUATION_FIRST && next <= C1_LAST) {
      AppendEscaped(out, byte);
      AppendEscaped(out, next);
      ++i;
    } else if (byte < FIRST_PRINTABLE || byte == DELETE) {
      AppendEscaped(out, byte);
    } else {
      out += text[i];
    }
  }
  return out;
}

}  // namespace vorna
