#include "link/tracing_transport.h"

#include <cstdio>

namespace vorna {

std::string FormatHexBytes(const std::uint8_t* data, std::size_t count) {
  std::string text;
  char piece[4];
  for (std::size_t i = 0; i < count; ++i) {
    std::snprintf(piece, sizeof piece, i == 0 ? "%02x" : " %02x", data[i]);
    text += piece;
  }
  return text;
}

TracingTransport::TracingTransport(Transport& inner, std::ostream& trace)
    : inner_(inner), trace_(trace), start_(std::chrono::steady_clock::now()) {}

void TracingTransport::Line(const std::string& text) {
  const double ms =
      std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start_).count();
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "[%9.1f ms] ", ms);
  trace_ << stamp << text << '\n' << std::flush;
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

bool TracingTransport::Write(const std::uint8_t* data, std::size_t count) {
  const bool ok = inner_.Write(data, count);
  Line("-> " + FormatHexBytes(data, count) + (ok ? "" : "  (write failed: " + inner_.LastError() + ")"));
  return ok;
}

std::optional<std::size_t> TracingTransport::Read(std::uint8_t* data, std::size_t count) {
  auto got = inner_.Read(data, count);
  if (!got) {
    Line("<- (read failed: " + inner_.LastError() + ")");
  } else {
    // A short count follows the bytes; alone when none came.
    std::string text = "<- " + FormatHexBytes(data, *got);
    if (*got < count)
      text += (*got > 0 ? "  (" : "(") + std::to_string(*got) + " of " + std::to_string(count) + " bytes)";
    Line(text);
  }
  return got;
}

}  // namespace vorna
