#pragma once
// The trace a user hands over with a report: every byte the session sent
// and received, each open, close and failure, and the messages the user was
// shown, one JSON object a line, so that vorna-board-sim --replay can answer
// as the user's board did. One file, shared by the transports of several
// ports, possibly on several threads:
//   {"time":0.000000,"event":"start","program":"vornactl 1.2.3"}
//   {"time":0.001234,"port":"COM3","event":"open","device":"/dev/ttyACM2"}
//   {"time":0.001300,"port":"COM3","direction":"to board","bytes":"aa 01 02"}
//   {"time":0.004100,"port":"COM3","direction":"from board","bytes":"21 b4"}
//   {"time":0.504100,"port":"COM3","event":"failure","step":"read","reason":"..."}
//   {"time":0.504200,"port":"COM3","event":"message","text":"Read error","reason":"..."}
//   {"time":0.504300,"port":"COM3","event":"close"}
// "time" is seconds since the recorder was made, with 6 decimals; bytes are
// lower-case hex pairs (base/hex_text.h); failure steps are "open" (with
// the device), "write", "read" and "reply end".

#include <chrono>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "base/unique_fd.h"
#include "link/transport.h"

namespace vorna {

class TraceRecorder;

struct TraceCreation {
  std::unique_ptr<TraceRecorder> recorder;  // null when the file cannot be written
  std::string reason;                       // then why
};

class TraceRecorder {
 public:
  // Creates or empties `path` and writes the start line naming `program`.
  static TraceCreation Create(const std::string& path, std::string_view program);
  // Records to `file`, starting with the line naming `program`.
  TraceRecorder(UniqueFd file, std::string_view program);

  // Each call writes one whole line at once; a crash keeps every line
  // written before it.
  void Opened(std::string_view port, std::string_view device);
  void OpenFailed(std::string_view port, std::string_view device, std::string_view reason);
  void Closed(std::string_view port);
  void Sent(std::string_view port, std::span<const std::uint8_t> bytes);
  void Received(std::string_view port, std::span<const std::uint8_t> bytes);
  // `step` is "write", "read" or "reply end".
  void Failed(std::string_view port, std::string_view step, std::string_view reason);
  // A message the user was shown, with the reason that came with it.
  void Message(std::string_view port, std::string_view text, std::string_view reason);

 private:
  using Field = std::pair<std::string_view, std::string_view>;
  // `port` first, when not empty, after the time.
  std::string Format(std::chrono::steady_clock::time_point at, std::string_view port,
                     std::initializer_list<Field> fields) const;
  void Line(std::string_view port, std::initializer_list<Field> fields);

  std::mutex mutex_;
  UniqueFd file_;
  const std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

// `text` as the body of a JSON string: quotes, backslashes and control
// characters escaped, and each byte that is not part of valid UTF-8 written
// as \u00XX, so that any bytes make valid JSON.
std::string JsonEscaped(std::string_view text);

// Records all that passes through `inner` to `recorder`, under the label
// `port` ("COM3"); an empty label records under the device given to Open.
class RecordingTransport final : public Transport {
 public:
  RecordingTransport(std::unique_ptr<Transport> inner, std::shared_ptr<TraceRecorder> recorder, std::string port);

  bool Open(const std::string& device) override;
  void Close() override;
  bool IsOpen() const override { return inner_->IsOpen(); }
  bool Write(std::span<const std::uint8_t> bytes) override;
  std::optional<std::size_t> Read(std::span<std::uint8_t> buffer) override;
  bool ReplyEnded() override;
  std::string LastError() const override { return inner_->LastError(); }

 private:
  std::string_view Label() const { return port_.empty() ? device_ : port_; }

  std::unique_ptr<Transport> inner_;
  std::shared_ptr<TraceRecorder> recorder_;
  std::string port_;
  std::string device_;
};

}  // namespace vorna
