#pragma once
// The byte pipe under DeviceLink: a real serial device in production, an
// in-memory fake board in unit tests.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace vorna {

class Transport {
 public:
  virtual ~Transport() = default;

  // Opens `device` for exclusive reading and writing, sets the read
  // time-outs, and discards input that was waiting before the open or
  // arrives until the line is quiet (protocol.h). On failure returns false
  // and LastError() says why.
  virtual bool Open(const std::string& device) = 0;
  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;

  // Writes all of `bytes` or fails (error or write time-out).
  virtual bool Write(std::span<const std::uint8_t> bytes) = 0;

  // Reads up to `buffer.size()` bytes into `buffer` under the read
  // time-outs (see protocol.h). Returns the number of bytes that arrived,
  // possibly fewer than asked for or none; nullopt when the read itself
  // failed.
  virtual std::optional<std::size_t> Read(std::span<std::uint8_t> buffer) = 0;

  // After a whole reply whose content is used: watches the line as long as
  // the gaps between the reply's bytes say more could follow (ReplyQuietMs).
  // True when nothing more came; otherwise the bytes that did are dropped
  // until the line is quiet, and LastError() says "the board is still
  // sending: ...": the reply was not the answer to this request. A
  // transport whose replies cannot trail (an in-memory one) keeps this.
  virtual bool ReplyEnded() { return true; }

  // The system's explanation of the last failure, for verbose reports.
  virtual std::string LastError() const = 0;
};

}  // namespace vorna
