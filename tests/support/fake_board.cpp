#include "support/fake_board.h"

#include <algorithm>
#include <iterator>

#include "base/hex_text.h"

namespace vorna::test {

namespace {

constexpr const char* WRITE_FAILED = "write: input/output error";
constexpr const char* READ_FAILED = "read: input/output error";

}  // namespace

FakeBoard::FakeBoard() : protocol_(sim::PowerOnState(), faults) {
  const sim::BoardState& state = protocol_.state();
  std::copy_n(state.bytes.begin(), SNAPSHOT_CHANNEL, std::begin(registers));
  channel = state.bytes[SNAPSHOT_CHANNEL];
}

bool FakeBoard::Open(const std::string& device) {
  if (hungUp || std::find(refusedDevices.begin(), refusedDevices.end(), device) != refusedDevices.end()) {
    lastError = "open: no such device";
    return false;
  }
  opened.push_back(device);
  open_ = true;
  pending_.clear();
  protocol_.InputIdle();
  return true;
}

void FakeBoard::Close() {
  open_ = false;
  ++closeCount;
}

bool FakeBoard::Write(std::span<const std::uint8_t> bytes) {
  writes.emplace_back(bytes.begin(), bytes.end());
  if (hungUp ||
      std::find(failingWrites.begin(), failingWrites.end(), static_cast<int>(writes.size())) != failingWrites.end()) {
    lastError = WRITE_FAILED;
    return false;
  }
  if (script.empty()) Feed(writes.back());
  return true;
}

std::optional<std::size_t> FakeBoard::Read(std::span<std::uint8_t> buffer) {
  ++readCount;
  if (!script.empty()) {
    ReadStep step = script.front();
    script.pop_front();
    moreFollows_ = step.moreFollows;
    if (step.fail) {
      lastError = READ_FAILED;
      return std::nullopt;
    }
    const std::size_t n = std::min(buffer.size(), step.bytes.size());
    std::copy_n(step.bytes.begin(), n, buffer.begin());
    return n;
  }
  if (hungUp && pending_.empty()) {
    lastError = READ_FAILED;
    return std::nullopt;
  }
  std::size_t n = 0;
  while (n < buffer.size() && !pending_.empty()) {
    buffer[n++] = pending_.front();
    pending_.pop_front();
  }
  return n;
}

bool FakeBoard::ReplyEnded() {
  if (!moreFollows_ && pending_.empty()) return true;
  lastError = "the board is still sending: more bytes followed the reply";
  pending_.clear();
  return false;
}

// The test's view of the board goes into the model before the bytes and
// comes back after them, so either side may change it between requests.
void FakeBoard::Feed(const Bytes& bytes) {
  sim::BoardState state;
  std::copy(std::begin(registers), std::end(registers), state.bytes.begin());
  state.bytes[SNAPSHOT_CHANNEL] = channel;
  protocol_.SetState(state);
  protocol_.SetFaults(faults);
  for (sim::BoardEvent& event : protocol_.Feed(bytes)) {
    switch (event.kind) {
      case sim::BoardEvent::Kind::Log:
        break;
      case sim::BoardEvent::Kind::Reply:
        pending_.insert(pending_.end(), event.bytes.begin(), event.bytes.end());
        break;
      case sim::BoardEvent::Kind::StoreDefaults:
        defaultsStored = true;
        break;
      case sim::BoardEvent::Kind::ProgramReceived:
        program = std::move(event.bytes);
        break;
      case sim::BoardEvent::Kind::HangUp:
        hungUp = true;
        break;
    }
  }
  const sim::BoardState& after = protocol_.state();
  std::copy_n(after.bytes.begin(), SNAPSHOT_CHANNEL, std::begin(registers));
  channel = after.bytes[SNAPSHOT_CHANNEL];
}

std::string HexBytes(const Bytes& bytes) { return vorna::HexBytes(bytes); }

}  // namespace vorna::test
