// Every DeviceLink operation against a board that answers with bytes the
// fuzzer chooses: short and empty replies, failed reads, writes and opens.
// Each exchange is checked against the packet contract: the bytes sent, the
// reads made, the messages in their order, and the result.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "commands/register_writes.h"
#include "fuzz_check.h"
#include "link/device_link.h"
#include "link/protocol.h"
#include "link/tracing_transport.h"
#include "model/quick_settings.h"
#include "model/transmitter_fields.h"
#include "support/recording_sink.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using Texts = std::vector<std::string>;

constexpr int MAX_OPERATIONS = 64;
// One write or read in eight fails, so that most exchanges get to the reply.
constexpr int FAILURE_ODDS = 8;
constexpr std::size_t LONGEST_DEVICE_NAME = 64;
constexpr std::size_t CHUNK_COUNT_BEYOND_LIMIT = 8;

struct Event {
  enum class Kind { kOpen, kClose, kWrite, kRead };
  Kind kind;
  bool ok = true;
  Bytes bytes;             // written, or delivered by a read
  std::size_t asked = 0;   // bytes a read asked for
};

// The board: each call takes its outcome from the fuzzer's data. Once the
// data runs out, writes succeed and reads deliver nothing.
class FuzzTransport final : public vorna::Transport {
 public:
  explicit FuzzTransport(FuzzedDataProvider& input) : input_(input) {}

  bool Open(const std::string& device) override {
    open_ = !device.empty() && input_.ConsumeIntegralInRange(0, FAILURE_ODDS - 1) != 0;
    events.push_back({Event::Kind::kOpen, open_, {}, 0});
    lastError_ = open_ ? "" : "open: refused by the fuzzer";
    return open_;
  }
  void Close() override {
    FUZZ_CHECK(open_, "only an open port is closed");
    open_ = false;
    events.push_back({Event::Kind::kClose, true, {}, 0});
  }
  bool IsOpen() const override { return open_; }
  bool Write(const std::uint8_t* data, std::size_t count) override {
    const bool ok = open_ && input_.ConsumeIntegralInRange(0, FAILURE_ODDS - 1) != 0;
    events.push_back({Event::Kind::kWrite, ok, Bytes(data, data + count), 0});
    lastError_ = ok ? "" : "write: refused by the fuzzer";
    return ok;
  }
  std::optional<std::size_t> Read(std::uint8_t* data, std::size_t count) override {
    if (!open_ || input_.ConsumeIntegralInRange(0, FAILURE_ODDS - 1) == 0) {
      events.push_back({Event::Kind::kRead, false, {}, count});
      lastError_ = "read: refused by the fuzzer";
      return std::nullopt;
    }
    const Bytes reply = input_.ConsumeBytes<std::uint8_t>(input_.ConsumeIntegralInRange<std::size_t>(0, count));
    std::copy(reply.begin(), reply.end(), data);
    events.push_back({Event::Kind::kRead, true, reply, count});
    lastError_ = reply.size() < count ? "read: short" : "";
    return reply.size();
  }
  std::string LastError() const override { return lastError_; }

  std::vector<Event> events;

 private:
  FuzzedDataProvider& input_;
  bool open_ = false;
  std::string lastError_;
};

// What one operation did: the transport's events and the messages since the
// marks were taken.
class Step {
 public:
  Step(const FuzzTransport& board, const vorna::RecordingSink& sink)
      : board_(board), sink_(sink), events_(board.events.size()), messages_(sink.entries.size()) {}

  std::vector<Event> Events() const {
    return {board_.events.begin() + static_cast<std::ptrdiff_t>(events_), board_.events.end()};
  }
  Texts Messages() const {
    Texts texts;
    for (std::size_t i = messages_; i < sink_.entries.size(); ++i) texts.push_back(sink_.entries[i].text);
    return texts;
  }

 private:
  const FuzzTransport& board_;
  const vorna::RecordingSink& sink_;
  std::size_t events_;
  std::size_t messages_;
};

bool IsWrite(const Event& e, const Bytes& request) { return e.kind == Event::Kind::kWrite && e.bytes == request; }
bool IsRead(const Event& e, std::size_t asked) { return e.kind == Event::Kind::kRead && e.asked == asked; }

// SetChannel, StoreDefaults: write, read whatever the outcome of the write,
// one message per failed step; the reply's content is not looked at.
void CheckWriteThenRead(const Step& step, bool result, const Bytes& request, std::size_t replySize) {
  const auto events = step.Events();
  FUZZ_CHECK(events.size() == 2 && IsWrite(events[0], request) && IsRead(events[1], replySize),
             "one request, then one read of the reply size");
  Texts expected;
  if (!events[0].ok) expected.emplace_back("WriteFile error");
  if (!events[1].ok) expected.emplace_back("ReadFile error");
  FUZZ_CHECK(step.Messages() == expected, "a message for each failed step, in order");
  FUZZ_CHECK(result == expected.empty(), "the result says whether anything was reported");
}

void CheckWriteRegister(const Step& step, bool result, const Bytes& request) {
  const auto events = step.Events();
  FUZZ_CHECK(events.size() == 2 && IsWrite(events[0], request) &&
                 IsRead(events[1], vorna::WRITE_REGISTER_REPLY_SIZE),
             "write, then read the echo, whatever the write did");
  Texts expected;
  if (!events[0].ok) expected.emplace_back("Write error");
  if (!events[1].ok) expected.emplace_back("Read error");
  if (!events[1].ok || events[1].bytes != request) expected.emplace_back("ReadData error");
  FUZZ_CHECK(step.Messages() == expected, "write, read and echo each reported, in order");
  FUZZ_CHECK(result == expected.empty(), "the result says whether anything was reported");
}

void CheckReadRegisters(const Step& step, bool result, const vorna::RegisterSnapshot& before,
                        const vorna::RegisterSnapshot& after) {
  const auto events = step.Events();
  const Bytes request = {vorna::PACKET_LEAD, 0x01, vorna::CMD_READ_REGISTERS};
  FUZZ_CHECK(!events.empty() && IsWrite(events[0], request), "the read request goes out first");
  if (!events[0].ok) {
    FUZZ_CHECK(events.size() == 1, "no read after a failed write");
    FUZZ_CHECK(step.Messages() == Texts{"Write error"}, "a failed write is reported");
    FUZZ_CHECK(!result && after == before, "a failed write fails and leaves the snapshot");
    return;
  }
  FUZZ_CHECK(events.size() == 2 && IsRead(events[1], vorna::READ_REGISTERS_REPLY_SIZE), "one read of 10 bytes");
  const bool whole = events[1].ok && events[1].bytes.size() == vorna::READ_REGISTERS_REPLY_SIZE;
  FUZZ_CHECK(result == whole, "only exactly ten bytes succeed");
  if (whole) {
    FUZZ_CHECK(step.Messages().empty(), "a whole reply reports nothing");
    FUZZ_CHECK(Bytes(after.bytes.begin(), after.bytes.end()) == events[1].bytes, "the snapshot is the reply");
  } else {
    FUZZ_CHECK(step.Messages() == Texts{"Read error"}, "a failed or short read is reported once");
    FUZZ_CHECK(after == before, "a failed read leaves the snapshot");
  }
}

void CheckStartDownload(const Step& step, bool result, std::uint16_t length) {
  const auto events = step.Events();
  const Bytes request = {vorna::PACKET_LEAD, 0x03, vorna::CMD_DOWNLOAD, static_cast<std::uint8_t>(length & 0xFF),
                         static_cast<std::uint8_t>(length >> 8)};
  FUZZ_CHECK(!events.empty() && IsWrite(events[0], request), "the start request, length low byte first");
  FUZZ_CHECK(step.Messages().empty(), "the download start reports nothing");
  if (!events[0].ok) {
    FUZZ_CHECK(events.size() == 1 && !result, "no read after a failed write");
    return;
  }
  FUZZ_CHECK(events.size() == 2 && IsRead(events[1], vorna::DOWNLOAD_REPLY_SIZE), "one read of 2 bytes");
  const Event& reply = events[1];
  FUZZ_CHECK(result == (reply.ok && reply.bytes.size() == 2 && reply.bytes[0] == vorna::REPLY_ACCEPTED),
             "accepted only by two bytes starting with 00");
}

void CheckSendChunk(const Step& step, bool result, const Bytes& chunk, bool isLast) {
  const auto events = step.Events();
  FUZZ_CHECK(step.Messages().empty(), "a chunk reports nothing");
  if (chunk.empty() || chunk.size() > vorna::DOWNLOAD_CHUNK_SIZE) {
    FUZZ_CHECK(events.empty() && !result, "a chunk of no or too many bytes is not sent");
    return;
  }
  FUZZ_CHECK(!events.empty() && IsWrite(events[0], chunk), "the bytes go out unframed");
  if (!events[0].ok) {
    FUZZ_CHECK(events.size() == 1 && !result, "no read after a failed write");
    return;
  }
  FUZZ_CHECK(events.size() >= 2 && IsRead(events[1], vorna::CHUNK_REPLY_SIZE), "the acknowledgement is read");
  const bool accepted = events[1].ok && !events[1].bytes.empty() && events[1].bytes[0] == vorna::REPLY_ACCEPTED;
  if (!accepted || !isLast) {
    FUZZ_CHECK(events.size() == 2 && result == accepted, "no second read unless the last chunk was accepted");
    return;
  }
  FUZZ_CHECK(events.size() == 3 && IsRead(events[2], vorna::CHUNK_REPLY_SIZE), "the completion is read");
  FUZZ_CHECK(result == (events[2].ok && !events[2].bytes.empty() && events[2].bytes[0] == vorna::REPLY_COMPLETE),
             "the last chunk succeeds only on a completion reply starting with FF");
}

void CheckOpen(const Step& step, bool result, const FuzzTransport& board, const std::string& failureText) {
  FUZZ_CHECK(result == board.IsOpen(), "the result says whether the port is open");
  FUZZ_CHECK(step.Messages() == (result ? Texts{} : Texts{failureText}), "one message when the open fails");
}

vorna::PortLookup FuzzPorts(int number) {
  if (number <= 0) return {"", "no device for the number"};
  return {"fuzz-port-" + std::to_string(number), ""};
}

void RunOperation(FuzzedDataProvider& input, vorna::DeviceLink& link, FuzzTransport& board,
                  const vorna::RecordingSink& sink) {
  const Step step(board, sink);
  switch (input.ConsumeIntegralInRange(0, 10)) {
    case 0: {
      const int number = input.ConsumeIntegral<int>();
      CheckOpen(step, link.OpenPort(number), board, "Can not open COM" + std::to_string(number));
      break;
    }
    case 1: {
      const std::string path = input.ConsumeRandomLengthString(LONGEST_DEVICE_NAME);
      CheckOpen(step, link.OpenDevice(path), board, "Can not open " + path);
      break;
    }
    case 2:
      link.ClosePort();
      FUZZ_CHECK(!link.IsOpen() && step.Messages().empty(), "closing is silent and always closes");
      break;
    case 3: {
      const auto channel = input.ConsumeIntegral<std::uint8_t>();
      CheckWriteThenRead(step, link.SetChannel(channel), {vorna::PACKET_LEAD, 0x02, vorna::CMD_SET_CHANNEL, channel},
                         vorna::SET_CHANNEL_REPLY_SIZE);
      break;
    }
    case 4: {
      const auto address = input.ConsumeIntegral<std::uint8_t>();
      const auto value = input.ConsumeIntegral<std::uint8_t>();
      CheckWriteRegister(step, link.WriteRegister(address, value),
                         {vorna::PACKET_LEAD, 0x03, vorna::CMD_WRITE_REGISTER, address, value});
      break;
    }
    case 5: {
      vorna::RegisterSnapshot snapshot;
      snapshot.bytes.fill(input.ConsumeIntegral<std::uint8_t>());
      const vorna::RegisterSnapshot before = snapshot;
      CheckReadRegisters(step, link.ReadRegisters(snapshot), before, snapshot);
      break;
    }
    case 6:
      CheckWriteThenRead(step, link.StoreDefaults(), {vorna::PACKET_LEAD, 0x01, vorna::CMD_STORE_DEFAULTS},
                         vorna::STORE_DEFAULTS_REPLY_SIZE);
      break;
    case 7: {
      const auto length = input.ConsumeIntegral<std::uint16_t>();
      CheckStartDownload(step, link.StartDownload(length), length);
      break;
    }
    case 8: {
      const auto count =
          input.ConsumeIntegralInRange<std::size_t>(0, vorna::DOWNLOAD_CHUNK_SIZE + CHUNK_COUNT_BEYOND_LIMIT);
      Bytes chunk = input.ConsumeBytes<std::uint8_t>(count);
      chunk.resize(count);
      const bool isLast = input.ConsumeBool();
      CheckSendChunk(step, link.SendChunk(chunk.data(), chunk.size(), isLast), chunk, isLast);
      break;
    }
    case 9: {
      vorna::QuickSettings settings;
      // The commands clamp the dialog's frequency before applying it.
      settings.frequency = vorna::ClampFrequency(input.ConsumeFloatingPoint<double>());
      settings.powerIndex = input.ConsumeIntegralInRange(-2, 4);
      settings.audioLevelIndex = input.ConsumeIntegralInRange(-2, 4);
      settings.preEmphasisIndex = input.ConsumeIntegralInRange(-2, 4);
      settings.timeConstantIndex = input.ConsumeIntegralInRange(-2, 4);
      settings.storeAsDefault = input.ConsumeBool();
      vorna::ApplyQuickSettings(link, settings);
      FUZZ_CHECK(!vorna::FormatQuickSummary(settings).empty(), "every setting has a summary");
      break;
    }
    default: {
      vorna::TransmitterFields fields{};
      for (auto& field : fields.values) field = input.ConsumeIntegral<std::int32_t>();
      vorna::ApplyFields(link, vorna::EncodeFields(fields));
      FUZZ_CHECK(!vorna::FormatRegisterDump(fields).empty(), "every field set has a dump");
      break;
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  FuzzTransport board(input);
  std::ostringstream trace;
  // Half the runs go through the verbose trace, which formats every reply.
  const bool traced = input.ConsumeBool();
  vorna::TracingTransport tracer(board, trace);
  vorna::RecordingSink sink;
  {
    vorna::DeviceLink link(traced ? static_cast<vorna::Transport&>(tracer) : board, sink, FuzzPorts);
    for (int i = 0; i < MAX_OPERATIONS && input.remaining_bytes() > 0; ++i) RunOperation(input, link, board, sink);
  }
  FUZZ_CHECK(!board.IsOpen(), "the link closes its port when it goes");
  return 0;
}
