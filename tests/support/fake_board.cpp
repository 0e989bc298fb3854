#include "support/fake_board.h"

#include <algorithm>

#include "link/protocol.h"
#include "link/tracing_transport.h"

namespace vorna::test {

bool FakeBoard::Open(const std::string& device) {
  if (std::find(refusedDevices.begin(), refusedDevices.end(), device) != refusedDevices.end()) {
    lastError = "open: no such device";
    return false;
  }
  opened.push_back(device);
  open_ = true;
  pending_.clear();
  return true;
}

void FakeBoard::Close() {
  open_ = false;
  ++closeCount;
}

bool FakeBoard::Write(const std::uint8_t* data, std::size_t count) {
  Bytes request(data, data + count);
  writes.push_back(request);
  if (std::find(failingWrites.begin(), failingWrites.end(), static_cast<int>(writes.size())) !=
      failingWrites.end()) {
    lastError = "write: input/output error";
    return false;
  }
  if (script.empty()) Answer(request);
  return true;
}

std::optional<std::size_t> FakeBoard::Read(std::uint8_t* data, std::size_t count) {
  ++readCount;
  if (!script.empty()) {
    ReadStep step = script.front();
    script.pop_front();
    if (step.fail) {
      lastError = "read: input/output error";
      return std::nullopt;
    }
    const std::size_t n = std::min(count, step.bytes.size());
    std::copy_n(step.bytes.begin(), n, data);
    return n;
  }
  std::size_t n = 0;
  while (n < count && !pending_.empty()) {
    data[n++] = pending_.front();
    pending_.pop_front();
  }
  return n;
}

void FakeBoard::Answer(const Bytes& request) {
  auto reply = [this](std::initializer_list<std::uint8_t> bytes) { pending_.insert(pending_.end(), bytes); };
  if (downloadRemaining_ > 0) {
    ++chunksReceived_;
    if (chunksReceived_ == refuseChunk) {
      downloadRemaining_ = 0;
      reply({0x01, 0x00});
      return;
    }
    program.insert(program.end(), request.begin(), request.end());
    downloadRemaining_ -= std::min(downloadRemaining_, request.size());
    reply({REPLY_ACCEPTED, 0x00});
    if (downloadRemaining_ == 0) reply({badCompletion ? REPLY_ACCEPTED : REPLY_COMPLETE, 0x00});
    return;
  }
  if (request.size() < 3 || request[0] != PACKET_LEAD) return;
  switch (request[2]) {
    case CMD_SET_CHANNEL:
      channel = request[3];
      pending_.insert(pending_.end(), request.begin(), request.end());
      break;
    case CMD_WRITE_REGISTER:
      if (request[3] != REG_PREFIX) registers[request[3] >> 4] = request[4];
      pending_.insert(pending_.end(), request.begin(), request.end());
      break;
    case CMD_READ_REGISTERS:
      pending_.insert(pending_.end(), std::begin(registers), std::end(registers));
      pending_.push_back(channel);
      break;
    case CMD_STORE_DEFAULTS:
      defaultsStored = true;
      reply({0x00});
      break;
    case CMD_DOWNLOAD:
      if (refuseStart) {
        reply({0x01, 0x00});
        break;
      }
      downloadRemaining_ = static_cast<std::size_t>(request[3] | request[4] << 8);
      chunksReceived_ = 0;
      program.clear();
      reply({REPLY_ACCEPTED, 0x00});
      break;
    default:
      break;
  }
}

std::string HexBytes(const Bytes& bytes) { return FormatHexBytes(bytes.data(), bytes.size()); }

}  // namespace vorna::test
