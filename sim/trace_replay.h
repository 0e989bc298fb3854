#pragma once
// A session recorded with vornactl --trace or VORNA_TRACE
// (link/trace_recorder.h), turned into the exchanges the virtual board
// replays with --replay: what the host sent, and what the user's board
// answered. No I/O and no clock in the replay itself, so that it can be
// driven byte by byte.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vorna::sim {

struct ReplyChunk {
  // After the request's last bytes were recorded: when the host's read
  // returned, so at most as long as the board took.
  std::chrono::microseconds delay;
  std::vector<std::uint8_t> bytes;
};

struct ReplayExchange {
  // The host's bytes: every write until the board's next reply, joined.
  std::vector<std::uint8_t> request;
  // What the board sent until the host's next write.
  std::vector<ReplyChunk> reply;
  // The host's read failed this long after the request: the board hung up.
  std::optional<std::chrono::microseconds> hangUpAfter;
};

struct TraceParse {
  std::vector<ReplayExchange> exchanges;
  std::string error;  // "FILE:LINE: reason" or "FILE: reason"; empty when read
};

// The exchanges of the port named `port`, by its label ("COM3") or a
// device it opened, in the trace `text` read from `fileName`. An empty
// `port` takes the trace's only port. Bytes the board sent before the
// host's first request are left out: a host's open discards them.
TraceParse ParseTrace(std::string_view text, std::string_view fileName, std::string_view port);
// The same from the file at `path`.
TraceParse ReadTrace(const std::string& path, std::string_view port);

// Where the replay stands: the next exchange, and what the host sent
// towards its request.
class TraceReplay {
 public:
  explicit TraceReplay(std::vector<ReplayExchange> exchanges) : exchanges_(std::move(exchanges)) {}

  // Takes one byte from the host. Returns the exchange whose request it
  // completes, whose reply is then due; null otherwise.
  const ReplayExchange* Take(std::uint8_t byte);
  // True when what the host sent can no longer become the expected request.
  bool Differs() const;
  // Drops what the host sent once it differs and the line is quiet (a host
  // writes each request whole), and returns the log line that shows both.
  // The replay stays at the same exchange.
  std::string DropDiffering();

 private:
  const std::vector<std::uint8_t>& Expected() const;

  std::vector<ReplayExchange> exchanges_;
  std::size_t next_ = 0;
  std::vector<std::uint8_t> received_;
};

}  // namespace vorna::sim
