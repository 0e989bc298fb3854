#pragma once
// An in-memory board behind the Transport interface: it answers requests as
// a scripted board would, records every request, and can fail writes and
// reads on demand.

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "link/transport.h"

namespace vorna::test {

using Bytes = std::vector<std::uint8_t>;

class FakeBoard final : public Transport {
 public:
  // What one Read call does: deliver these bytes (possibly fewer than asked),
  // or fail.
  struct ReadStep {
    Bytes bytes;
    bool fail = false;
  };

  bool Open(const std::string& device) override;
  void Close() override;
  bool IsOpen() const override { return open_; }
  bool Write(const std::uint8_t* data, std::size_t count) override;
  std::optional<std::size_t> Read(std::uint8_t* data, std::size_t count) override;
  std::string LastError() const override { return lastError; }

  // Scripted mode: when `script` is not empty, each Read takes the next
  // step. Otherwise the board answers as a working board would.
  std::deque<ReadStep> script;
  // Writes numbered from 1 that fail (counted over the whole session).
  std::vector<int> failingWrites;
  // Download behaviour of the emulated board: refuse the start, refuse the
  // n-th chunk (from 1), or end with a wrong completion reply.
  bool refuseStart = false;
  int refuseChunk = 0;
  bool badCompletion = false;
  // Program bytes received, in order.
  Bytes program;
  // Devices that refuse to open.
  std::vector<std::string> refusedDevices;

  // What happened, in order.
  std::vector<Bytes> writes;
  std::vector<std::string> opened;
  int closeCount = 0;
  int readCount = 0;
  std::string lastError;

  // The emulated board's state.
  std::uint8_t registers[9] = {0x21, 0xB4, 0x06, 0x58, 0x2A, 0x00, 0x1A, 0x00, 0x1B};
  std::uint8_t channel = 6;
  bool defaultsStored = false;

 private:
  void Answer(const Bytes& request);
  bool open_ = false;
  std::deque<std::uint8_t> pending_;
  std::size_t downloadRemaining_ = 0;
  int chunksReceived_ = 0;
};

// Hex bytes as "aa 03 01 00 21", for readable failure messages.
std::string HexBytes(const Bytes& bytes);

}  // namespace vorna::test
