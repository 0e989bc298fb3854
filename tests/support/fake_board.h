#pragma once
// An in-memory board behind the Transport interface. What it answers and
// does is the virtual board's firmware model (sim::BoardProtocol), so the
// unit tests and the pseudo-terminal tests meet the same board; on top of
// it, this transport records every request and can refuse devices, fail
// writes and reads, or play scripted replies instead of the board's.

#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "link/register_snapshot.h"
#include "link/transport.h"
#include "sim/board_protocol.h"

namespace vorna::test {

using Bytes = std::vector<std::uint8_t>;

class FakeBoard final : public Transport {
 public:
  // What one Read call does: deliver these bytes (possibly fewer than asked),
  // or fail.
  struct ReadStep {
    Bytes bytes;
    bool fail = false;
    // The board goes on sending after these bytes (ReplyEnded fails).
    bool moreFollows = false;
  };

  FakeBoard();

  // Opening starts a new session: a partial frame or download left by the
  // previous one is dropped, as after a reconnect.
  bool Open(const std::string& device) override;
  void Close() override;
  bool IsOpen() const override { return open_; }
  // A write that fails never reaches the board.
  bool Write(std::span<const std::uint8_t> bytes) override;
  std::optional<std::size_t> Read(std::span<std::uint8_t> buffer) override;
  // Scripted: as the last step says; otherwise false while the board has
  // more to send than was read.
  bool ReplyEnded() override;
  std::string LastError() const override { return lastError; }

  // Scripted mode: when `script` is not empty, each Read takes the next
  // step and writes do not reach the board. Otherwise the board answers.
  std::deque<ReadStep> script;
  // Writes numbered from 1 that fail (counted over the whole session).
  std::vector<int> failingWrites;
  // Devices that refuse to open.
  std::vector<std::string> refusedDevices;
  // The board's own misbehaviour, as the virtual board's options set it.
  sim::BoardFaults faults;

  // What happened, in order.
  std::vector<Bytes> writes;
  std::vector<std::string> opened;
  int closeCount = 0;
  int readCount = 0;
  std::string lastError;

  // The emulated board's state: registers A0 to A8 and the channel, which
  // a test may change between requests.
  std::uint8_t registers[SNAPSHOT_CHANNEL];
  std::uint8_t channel;
  bool defaultsStored = false;
  // The last program received in full; a download that is refused or cut
  // short leaves it as it was.
  Bytes program;
  // The board unplugged itself (faults.hangupAfterChunks): the replies sent
  // before still arrive, then reads and writes fail and no device opens.
  bool hungUp = false;

 private:
  void Feed(const Bytes& bytes);

  sim::BoardProtocol protocol_;
  bool open_ = false;
  bool moreFollows_ = false;
  std::deque<std::uint8_t> pending_;
};

// Hex bytes as "aa 03 01 00 21", for readable failure messages.
std::string HexBytes(const Bytes& bytes);

}  // namespace vorna::test
