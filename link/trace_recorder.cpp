#include "link/trace_recorder.h"

#include <cerrno>
#include <system_error>

#include "base/file_io.h"
#include "base/file_open.h"
#include "base/hex_text.h"

namespace vorna {

namespace {

constexpr int TRACE_FILE_MODE = 0644;
constexpr long long MICROSECONDS_PER_SECOND = 1'000'000;
constexpr unsigned char FIRST_PRINTABLE = 0x20;

// The length of the valid UTF-8 sequence that starts `text`; 0 when none
// does (a stray continuation byte, a cut or overlong sequence, a surrogate,
// or past U+10FFFF).
std::size_t Utf8SequenceLength(std::string_view text) {
  const auto byte = [&text](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  struct Form {
    unsigned char leadMask, leadBits;
    std::size_t length;
    char32_t lowest;
  };
  constexpr Form FORMS[] = {
      {0x80, 0x00, 1, 0}, {0xE0, 0xC0, 2, 0x80}, {0xF0, 0xE0, 3, 0x800}, {0xF8, 0xF0, 4, 0x10000}};
  for (const Form& form : FORMS) {
    if ((byte(0) & form.leadMask) != form.leadBits) continue;
    if (text.size() < form.length) return 0;
    char32_t code = byte(0) & static_cast<unsigned char>(~form.leadMask);
    for (std::size_t i = 1; i < form.length; ++i) {
      if ((byte(i) & 0xC0) != 0x80) return 0;
      code = (code << 6) | (byte(i) & 0x3F);
    }
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    return code < form.lowest || code > 0x10FFFF || surrogate ? 0 : form.length;
  }
  return 0;
}

// A JSON number that the locale never changes: whole seconds, a point, and
// six digits.
std::string Seconds(std::chrono::steady_clock::duration elapsed) {
  const long long micros = std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count();
  const std::string fraction = std::to_string(MICROSECONDS_PER_SECOND + micros % MICROSECONDS_PER_SECOND);
  return std::to_string(micros / MICROSECONDS_PER_SECOND) + "." + fraction.substr(1);
}

}  // namespace

std::string JsonEscaped(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    const std::size_t length = Utf8SequenceLength(text.substr(i));
    if (c == '"' || c == '\\') {
      escaped += '\\';
      escaped += static_cast<char>(c);
    } else if (c < FIRST_PRINTABLE || length == 0) {
      escaped += "\\u00";
      AppendHexByte(escaped, c);
    } else {
      escaped += text.substr(i, length);
      i += length;
      continue;
    }
    ++i;
  }
  return escaped;
}

TraceCreation TraceRecorder::Create(const std::string& path, std::string_view program) {
  UniqueFd file(CreateOrTruncateFile(path, TRACE_FILE_MODE));
  if (!file.valid()) return {nullptr, std::generic_category().message(errno)};
  return {std::make_unique<TraceRecorder>(std::move(file), program), {}};
}

TraceRecorder::TraceRecorder(UniqueFd file, std::string_view program) : file_(std::move(file)) {
  WriteAll(file_.get(), Format(start_, {}, {{"event", "start"}, {"program", program}}));
}

std::string TraceRecorder::Format(std::chrono::steady_clock::time_point at, std::string_view port,
                                  std::initializer_list<Field> fields) const {
  std::string line = "{\"time\":" + Seconds(at - start_);
  const auto add = [&line](std::string_view key, std::string_view value) {
    line += ",\"";
    line += key;
    line += "\":\"" + JsonEscaped(value) + '"';
  };
  if (!port.empty()) add("port", port);
  for (const auto& [key, value] : fields) add(key, value);
  line += "}\n";
  return line;
}

void TraceRecorder::Line(std::string_view port, std::initializer_list<Field> fields) {
  // Stamped under the lock, so that the times of the lines only grow.
  const std::scoped_lock lock(mutex_);
  // A trace that can no longer be written must not stop the session.
  WriteAll(file_.get(), Format(std::chrono::steady_clock::now(), port, fields));
}

void TraceRecorder::Opened(std::string_view port, std::string_view device) {
  Line(port, {{"event", "open"}, {"device", device}});
}

void TraceRecorder::OpenFailed(std::string_view port, std::string_view device, std::string_view reason) {
  Line(port, {{"event", "failure"}, {"step", "open"}, {"device", device}, {"reason", reason}});
}

void TraceRecorder::Closed(std::string_view port) { Line(port, {{"event", "close"}}); }

void TraceRecorder::Sent(std::string_view port, std::span<const std::uint8_t> bytes) {
  Line(port, {{"direction", "to board"}, {"bytes", HexBytes(bytes)}});
}

void TraceRecorder::Received(std::string_view port, std::span<const std::uint8_t> bytes) {
  Line(port, {{"direction", "from board"}, {"bytes", HexBytes(bytes)}});
}

void TraceRecorder::Failed(std::string_view port, std::string_view step, std::string_view reason) {
  Line(port, {{"event", "failure"}, {"step", step}, {"reason", reason}});
}

void TraceRecorder::Message(std::string_view port, std::string_view text, std::string_view reason) {
  Line(port, {{"event", "message"}, {"text", text}, {"reason", reason}});
}

RecordingTransport::RecordingTransport(std::unique_ptr<Transport> inner, std::shared_ptr<TraceRecorder> recorder,
                                       std::string port)
    : inner_(std::move(inner)), recorder_(std::move(recorder)), port_(std::move(port)) {}

bool RecordingTransport::Open(const std::string& device) {
  device_ = device;
  const bool opened = inner_->Open(device);
  if (opened) {
    recorder_->Opened(Label(), device);
  } else {
    recorder_->OpenFailed(Label(), device, inner_->LastError());
  }
  return opened;
}

void RecordingTransport::Close() {
  inner_->Close();
  recorder_->Closed(Label());
}

bool RecordingTransport::Write(std::span<const std::uint8_t> bytes) {
  const bool written = inner_->Write(bytes);
  recorder_->Sent(Label(), bytes);
  if (!written) recorder_->Failed(Label(), "write", inner_->LastError());
  return written;
}

std::optional<std::size_t> RecordingTransport::Read(std::span<std::uint8_t> buffer) {
  const auto got = inner_->Read(buffer);
  if (!got) {
    recorder_->Failed(Label(), "read", inner_->LastError());
  } else if (*got > 0) {
    recorder_->Received(Label(), buffer.first(*got));
  }
  return got;
}

bool RecordingTransport::ReplyEnded() {
  const bool ended = inner_->ReplyEnded();
  if (!ended) recorder_->Failed(Label(), "reply end", inner_->LastError());
  return ended;
}

}  // namespace vorna
