// Every DeviceLink operation against a board that answers with bytes the
// fuzzer chooses: short and empty replies, failed reads, writes and opens.
// Each exchange is checked against the packet contract: the bytes sent, the
// reads made, the messages in their order, and the result. The harness keeps
// its storage from run to run and compares in place, so that a run spends
// its time in the link rather than in the allocator.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>
#include <sstream>
#include <string>
#include <string_view>
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

using ByteView = std::span<const std::uint8_t>;

constexpr int MAX_OPERATIONS = 64;
// One write or read in eight fails, so that most exchanges get to the reply.
constexpr int FAILURE_ODDS = 8;
constexpr std::size_t LONGEST_DEVICE_NAME = 64;
constexpr std::size_t CHUNK_COUNT_BEYOND_LIMIT = 8;

// Room for the longest write the link may make (a whole chunk) and the
// longest read it asks for.
constexpr std::size_t LONGEST_TRANSFER = vorna::DOWNLOAD_CHUNK_SIZE;

// Bytes held in place, so that recording a write or a read allocates nothing.
class Payload {
 public:
  void Assign(ByteView bytes) {
    FUZZ_CHECK(bytes.size() <= data_.size(), "no transfer is longer than a chunk");
    std::copy(bytes.begin(), bytes.end(), data_.begin());
    size_ = bytes.size();
  }
  ByteView view() const { return {data_.data(), size_}; }
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  std::uint8_t operator[](std::size_t i) const { return data_[i]; }
  bool operator==(ByteView other) const { return std::ranges::equal(view(), other); }

 private:
  std::array<std::uint8_t, LONGEST_TRANSFER> data_{};
  std::size_t size_ = 0;
};

struct Event {
  enum class Kind { Open, Close, Write, Read };
  Kind kind;
  bool ok = true;
  Payload bytes;          // written, or delivered by a read
  std::size_t asked = 0;  // bytes a read asked for
};

// A request frame as the link must send it.
template <typename... Byte>
std::array<std::uint8_t, sizeof...(Byte)> Frame(Byte... bytes) {
  return {static_cast<std::uint8_t>(bytes)...};
}

// The board: each call takes its outcome from the fuzzer's data. Once the
// data runs out, writes succeed and reads deliver nothing.
class FuzzTransport final : public vorna::Transport {
 public:
  // Ready for the next run: closed, nothing recorded, reading `input`.
  void Reset(FuzzedDataProvider& input) {
    input_ = &input;
    open_ = false;
    lastError_ = "";
    events.clear();
  }

  bool Open(const std::string& device) override {
    open_ = !device.empty() && input_->ConsumeIntegralInRange(0, FAILURE_ODDS - 1) != 0;
    Record(Event::Kind::Open, open_, {}, 0);
    lastError_ = open_ ? "" : "open: refused by the fuzzer";
    return open_;
  }
  void Close() override {
    FUZZ_CHECK(open_, "only an open port is closed");
    open_ = false;
    Record(Event::Kind::Close, true, {}, 0);
  }
  bool IsOpen() const override { return open_; }
  bool Write(std::span<const std::uint8_t> bytes) override {
    const bool ok = open_ && input_->ConsumeIntegralInRange(0, FAILURE_ODDS - 1) != 0;
    Record(Event::Kind::Write, ok, bytes, 0);
    lastError_ = ok ? "" : "write: refused by the fuzzer";
    return ok;
  }
  std::optional<std::size_t> Read(std::span<std::uint8_t> buffer) override {
    const std::size_t count = buffer.size();
    if (!open_ || input_->ConsumeIntegralInRange(0, FAILURE_ODDS - 1) == 0) {
      Record(Event::Kind::Read, false, {}, count);
      lastError_ = "read: refused by the fuzzer";
      return std::nullopt;
    }
    FUZZ_CHECK(count <= LONGEST_TRANSFER, "no read asks for more than a chunk");
    const std::size_t delivered =
        input_->ConsumeData(buffer.data(), input_->ConsumeIntegralInRange<std::size_t>(0, count));
    Record(Event::Kind::Read, true, buffer.first(delivered), count);
    lastError_ = delivered < count ? "read: short" : "";
    return delivered;
  }
  std::string LastError() const override { return lastError_; }

  std::vector<Event> events;

 private:
  void Record(Event::Kind kind, bool ok, ByteView bytes, std::size_t asked) {
    Event& event = events.emplace_back();
    event.kind = kind;
    event.ok = ok;
    event.bytes.Assign(bytes);
    event.asked = asked;
  }

  FuzzedDataProvider* input_ = nullptr;
  bool open_ = false;
  const char* lastError_ = "";
};

// What one operation did: the transport's events and the messages since the
// marks were taken.
class Step {
 public:
  Step(const FuzzTransport& board, const vorna::RecordingSink& sink)
      : board_(board), sink_(sink), events_(board.events.size()), messages_(sink.entries.size()) {}

  std::span<const Event> Events() const { return std::span(board_.events).subspan(events_); }
  // Whether the messages since the mark are `expected`, in order.
  bool MessagesAre(std::span<const std::string_view> expected) const {
    const std::span<const vorna::RecordingSink::Entry> entries = std::span(sink_.entries).subspan(messages_);
    return std::ranges::equal(entries, expected,
                              [](const auto& entry, std::string_view text) { return entry.text == text; });
  }
  bool MessagesAre(std::initializer_list<std::string_view> expected) const {
    return MessagesAre(std::span(expected.begin(), expected.size()));
  }

 private:
  const FuzzTransport& board_;
  const vorna::RecordingSink& sink_;
  std::size_t events_;
  std::size_t messages_;
};

// The messages a step should have reported, collected in place.
class Expected {
 public:
  void Add(std::string_view text) {
    FUZZ_CHECK(size_ < texts_.size(), "no step reports more than three messages");
    texts_[size_++] = text;
  }
  std::span<const std::string_view> texts() const { return {texts_.data(), size_}; }
  bool empty() const { return size_ == 0; }

 private:
  std::array<std::string_view, 3> texts_{};
  std::size_t size_ = 0;
};

bool IsWrite(const Event& e, ByteView request) { return e.kind == Event::Kind::Write && e.bytes == request; }
bool IsRead(const Event& e, std::size_t asked) { return e.kind == Event::Kind::Read && e.asked == asked; }

// SetChannel, StoreDefaults: write, read whatever the outcome of the write,
// one message per failed step; the reply's content is not looked at.
void CheckWriteThenRead(const Step& step, bool result, ByteView request, std::size_t replySize) {
  const auto events = step.Events();
  FUZZ_CHECK(events.size() == 2 && IsWrite(events[0], request) && IsRead(events[1], replySize),
             "one request, then one read of the reply size");
  Expected expected;
  if (!events[0].ok) expected.Add("WriteFile error");
  if (!events[1].ok) expected.Add("ReadFile error");
  FUZZ_CHECK(step.MessagesAre(expected.texts()), "a message for each failed step, in order");
  FUZZ_CHECK(result == expected.empty(), "the result says whether anything was reported");
}

void CheckWriteRegister(const Step& step, bool result, ByteView request) {
  const auto events = step.Events();
  FUZZ_CHECK(events.size() == 2 && IsWrite(events[0], request) && IsRead(events[1], 5),
             "write, then read the echo, whatever the write did");
  Expected expected;
  if (!events[0].ok) expected.Add("Write error");
  if (!events[1].ok) expected.Add("Read error");
  if (!events[1].ok || !(events[1].bytes == request)) expected.Add("ReadData error");
  FUZZ_CHECK(step.MessagesAre(expected.texts()), "write, read and echo each reported, in order");
  FUZZ_CHECK(result == expected.empty(), "the result says whether anything was reported");
}

void CheckReadRegisters(const Step& step, const vorna::LinkResult<vorna::RegisterSnapshot>& result) {
  const auto events = step.Events();
  const auto request = Frame(vorna::PACKET_LEAD, 0x01, vorna::CMD_READ_REGISTERS);
  FUZZ_CHECK(!events.empty() && IsWrite(events[0], request), "the read request goes out first");
  if (!events[0].ok) {
    FUZZ_CHECK(events.size() == 1, "no read after a failed write");
    FUZZ_CHECK(step.MessagesAre({"Write error"}), "a failed write is reported");
    FUZZ_CHECK(!result && result.failure().step == "Write error", "a failed write fails with what it reported");
    return;
  }
  FUZZ_CHECK(events.size() == 2 && IsRead(events[1], 10), "one read of 10 bytes");
  const bool whole = events[1].ok && events[1].bytes.size() == 10;
  FUZZ_CHECK(result.ok() == whole, "only exactly ten bytes succeed");
  if (whole) {
    FUZZ_CHECK(step.MessagesAre({}), "a whole reply reports nothing");
    FUZZ_CHECK(events[1].bytes == ByteView(result.value().bytes), "the snapshot is the reply");
  } else {
    FUZZ_CHECK(step.MessagesAre({"Read error"}), "a failed or short read is reported once");
    FUZZ_CHECK(result.failure().step == "Read error", "a failed read fails with what it reported");
  }
}

void CheckStartDownload(const Step& step, bool result, std::uint16_t length) {
  const auto events = step.Events();
  const auto request = Frame(vorna::PACKET_LEAD, 0x03, vorna::CMD_DOWNLOAD, length & 0xFF, length >> 8);
  FUZZ_CHECK(!events.empty() && IsWrite(events[0], request), "the start request, length low byte first");
  FUZZ_CHECK(step.MessagesAre({}), "the download start reports nothing");
  if (!events[0].ok) {
    FUZZ_CHECK(events.size() == 1 && !result, "no read after a failed write");
    return;
  }
  FUZZ_CHECK(events.size() == 2 && IsRead(events[1], 2), "one read of 2 bytes");
  const Event& reply = events[1];
  FUZZ_CHECK(result == (reply.ok && reply.bytes.size() == 2 && reply.bytes[0] == vorna::REPLY_ACCEPTED),
             "accepted only by two bytes starting with 00");
}

void CheckSendChunk(const Step& step, bool result, ByteView chunk, bool isLast) {
  const auto events = step.Events();
  FUZZ_CHECK(step.MessagesAre({}), "a chunk reports nothing");
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
  FUZZ_CHECK(result ? step.MessagesAre({}) : step.MessagesAre({failureText}), "one message when the open fails");
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
      CheckOpen(step, link.OpenPort(number).ok(), board, "Can not open COM" + std::to_string(number));
      break;
    }
    case 1: {
      const std::string path = input.ConsumeRandomLengthString(LONGEST_DEVICE_NAME);
      CheckOpen(step, link.OpenDevice(path).ok(), board, "Can not open " + path);
      break;
    }
    case 2:
      link.ClosePort();
      FUZZ_CHECK(!link.IsOpen() && step.MessagesAre({}), "closing is silent and always closes");
      break;
    case 3: {
      const auto channel = input.ConsumeIntegral<std::uint8_t>();
      CheckWriteThenRead(step, link.SetChannel(channel).ok(),
                         Frame(vorna::PACKET_LEAD, 0x02, vorna::CMD_SET_CHANNEL, channel), 4);
      break;
    }
    case 4: {
      const auto address = input.ConsumeIntegral<std::uint8_t>();
      const auto value = input.ConsumeIntegral<std::uint8_t>();
      CheckWriteRegister(step, link.WriteRegister(address, value).ok(),
                         Frame(vorna::PACKET_LEAD, 0x03, vorna::CMD_WRITE_REGISTER, address, value));
      break;
    }
    case 5:
      CheckReadRegisters(step, link.ReadRegisters());
      break;
    case 6:
      CheckWriteThenRead(step, link.StoreDefaults().ok(), Frame(vorna::PACKET_LEAD, 0x01, vorna::CMD_STORE_DEFAULTS),
                         1);
      break;
    case 7: {
      const auto length = input.ConsumeIntegral<std::uint16_t>();
      CheckStartDownload(step, link.StartDownload(length).ok(), length);
      break;
    }
    case 8: {
      const auto count =
          input.ConsumeIntegralInRange<std::size_t>(0, vorna::DOWNLOAD_CHUNK_SIZE + CHUNK_COUNT_BEYOND_LIMIT);
      // Bytes the input runs short of stay zero.
      std::array<std::uint8_t, vorna::DOWNLOAD_CHUNK_SIZE + CHUNK_COUNT_BEYOND_LIMIT> chunk{};
      input.ConsumeData(chunk.data(), count);
      const bool isLast = input.ConsumeBool();
      CheckSendChunk(step, link.SendChunk({chunk.data(), count}, isLast).ok(), ByteView(chunk.data(), count), isLast);
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
  // Kept from run to run with their storage; each run starts them afresh.
  static FuzzTransport board;
  static std::ostringstream trace;
  static vorna::RecordingSink sink;
  board.Reset(input);
  trace.str({});
  sink.entries.clear();
  // Half the runs go through the verbose trace, which formats every reply.
  const bool traced = input.ConsumeBool();
  vorna::TracingTransport tracer(board, trace);
  {
    vorna::DeviceLink link(traced ? static_cast<vorna::Transport&>(tracer) : board, sink, FuzzPorts);
    for (int i = 0; i < MAX_OPERATIONS && input.remaining_bytes() > 0; ++i) RunOperation(input, link, board, sink);
  }
  FUZZ_CHECK(!board.IsOpen(), "the link closes its port when it goes");
  return 0;
}
