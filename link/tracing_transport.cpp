#include "link/tracing_transport.h"

#include <charconv>
#include <string_view>

#include "base/hex_text.h"

namespace vorna {

namespace {
// Milliseconds since the tracer began, right-aligned as "%9.1f" would.
constexpr std::size_t STAMP_WIDTH = 9;
}  // namespace

TracingTransport::TracingTransport(Transport& inner, std::ostream& trace)
    : inner_(inner), trace_(trace), start_(std::chrono::steady_clock::now()) {}

void TracingTransport::Line(const std::string& text) {
  const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start_).count();
  // to_chars, not printf: the desktop's locale may write a decimal comma.
  char digits[32];
  const auto end = std::to_chars(digits, digits + sizeof digits, ms, std::chars_format::fixed, 1).ptr;
  const std::string_view stamp(digits, static_cast<std::size_t>(end - digits));
  trace_ << '[' << std::string(stamp.size() < STAMP_WIDTH ? STAMP_WIDTH - stamp.size() : 0, ' ') << stamp << " ms] "
         << text << '\n'
         << std::flush;
}

bool TracingTransport::Open(const std::string& device) {
  const bool ok = inner_.Open(device);
  Line("open " + device + (ok ? "" : " failed: " + inner_.LastError()));
  return ok;
}

void TracingTransport::Close() {
  inner_.Close();
  Line("close");
}

bool TracingTransport::Write(std::span<const std::uint8_t> bytes) {
  const bool ok = inner_.Write(bytes);
  Line("-> " + HexBytes(bytes) + (ok ? "" : "  (write failed: " + inner_.LastError() + ")"));
  return ok;
}

std::optional<std::size_t> TracingTransport::Read(std::span<std::uint8_t> buffer) {
  auto got = inner_.Read(buffer);
  if (!got) {
    Line("<- (read failed: " + inner_.LastError() + ")");
  } else {
    // A short count follows the bytes; alone when none came.
    std::string text = "<- " + HexBytes(buffer.first(*got));
    if (*got < buffer.size())
      text += (*got > 0 ? "  (" : "(") + std::to_string(*got) + " of " + std::to_string(buffer.size()) + " bytes)";
    Line(text);
  }
  return got;
}

bool TracingTransport::ReplyEnded() {
  // A quiet line is what every exchange expects; only the opposite is told.
  const bool ended = inner_.ReplyEnded();
  if (!ended) Line("<- (" + inner_.LastError() + ")");
  return ended;
}

}  // namespace vorna
