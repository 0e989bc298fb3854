// The host's DeviceLink and the virtual board take their frame sizes from one
// command table: every command the host sends is taken whole by the board,
// whose reply is exactly what the host reads, and a frame of any other length
// is refused, command by command.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "link/device_link.h"
#include "link/message_sink.h"
#include "link/protocol.h"
#include "link/transport.h"
#include "sim/board_protocol.h"
#include "support/recording_sink.h"

namespace vorna::sim {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A port whose other end is the virtual board, fed each write at once.
class BoardLoopback final : public Transport {
 public:
  explicit BoardLoopback(BoardProtocol& board) : board_(board) {}
  bool Open(const std::string&) override { return open_ = true; }
  void Close() override { open_ = false; }
  bool IsOpen() const override { return open_; }
  bool Write(std::span<const std::uint8_t> bytes) override {
    writes.emplace_back(bytes.begin(), bytes.end());
    for (const BoardEvent& event : board_.Feed(bytes)) {
      if (event.kind == BoardEvent::Kind::Reply) pending.insert(pending.end(), event.bytes.begin(), event.bytes.end());
      if (event.kind == BoardEvent::Kind::Log) log.push_back(event.text);
    }
    return true;
  }
  std::optional<std::size_t> Read(std::span<std::uint8_t> buffer) override {
    const std::size_t n = std::min(buffer.size(), pending.size());
    std::copy_n(pending.begin(), n, buffer.begin());
    pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(n));
    reads.push_back(buffer.size());
    return n;
  }
  std::string LastError() const override { return {}; }

  std::vector<Bytes> writes;
  std::vector<std::size_t> reads;
  Bytes pending;  // replied, not yet read
  std::vector<std::string> log;

 private:
  BoardProtocol& board_;
  bool open_ = false;
};

// One call of the host per command code.
struct HostCall {
  std::uint8_t code;
  std::function<bool(DeviceLink&)> run;
};

const std::vector<HostCall> HOST_CALLS = {
    {CMD_SET_CHANNEL, [](DeviceLink& link) { return link.SetChannel(9).ok(); }},
    {CMD_WRITE_REGISTER, [](DeviceLink& link) { return link.WriteRegister(REG_A2, 0x07).ok(); }},
    {CMD_READ_REGISTERS,
     [](DeviceLink& link) {
       const LinkResult<RegisterSnapshot> read = link.ReadRegisters();
       return read && read.value() == PowerOnState();
     }},
    {CMD_STORE_DEFAULTS, [](DeviceLink& link) { return link.StoreDefaults().ok(); }},
    {CMD_DOWNLOAD, [](DeviceLink& link) { return link.StartDownload(1).ok(); }},
};

TEST(HostAndBoard, EveryCommandOfTheTableHasAHostCall) {
  std::set<std::uint8_t> covered;
  for (const HostCall& call : HOST_CALLS) covered.insert(call.code);
  for (const CommandEntry& entry : COMMANDS) EXPECT_TRUE(covered.count(entry.code)) << static_cast<int>(entry.code);
  EXPECT_EQ(covered.size(), COMMANDS.size());
}

TEST(HostAndBoard, TheBoardTakesEachRequestWholeAndTheHostReadsTheWholeReply) {
  for (const HostCall& call : HOST_CALLS) {
    SCOPED_TRACE(static_cast<int>(call.code));
    const CommandEntry* entry = FindCommand(call.code);
    ASSERT_NE(entry, nullptr);
    BoardProtocol board(PowerOnState(), {});
    BoardLoopback port(board);
    RecordingSink sink;
    DeviceLink link(port, sink);
    ASSERT_TRUE(link.OpenDevice("/dev/loopback"));

    EXPECT_TRUE(call.run(link)) << (sink.entries.empty() ? "" : sink.entries[0].reason);
    EXPECT_TRUE(sink.entries.empty());
    ASSERT_EQ(port.writes.size(), 1u);
    EXPECT_EQ(port.writes[0].size(), FrameSize(*entry));
    EXPECT_EQ(port.reads, std::vector<std::size_t>{entry->replySize});
    EXPECT_TRUE(port.pending.empty()) << "the board said more than the host reads";
    EXPECT_EQ(port.log.front(), "<- " + HexBytes(port.writes[0]));
    for (const std::string& line : port.log) EXPECT_EQ(line.find("no reply"), std::string::npos) << line;
  }
}

TEST(HostAndBoard, AChunkAndItsCompletionAreReadWhole) {
  BoardProtocol board(PowerOnState(), {});
  BoardLoopback port(board);
  RecordingSink sink;
  DeviceLink link(port, sink);
  ASSERT_TRUE(link.OpenDevice("/dev/loopback"));
  ASSERT_TRUE(link.StartDownload(1));
  const std::uint8_t program[] = {0x42};
  const LinkResult<> sent = link.SendChunk(program, true);
  EXPECT_TRUE(sent) << (sent ? "" : sent.failure().Text());
  EXPECT_EQ(port.reads, (std::vector<std::size_t>{2, 2, 2}));
  EXPECT_TRUE(port.pending.empty());
}

// A frame of `entry`'s command carrying `payloadSize` bytes, length byte
// included in the count as always.
Bytes FrameWithPayload(const CommandEntry& entry, std::size_t payloadSize) {
  Bytes frame = {PACKET_LEAD, static_cast<std::uint8_t>(1 + payloadSize), entry.code};
  frame.resize(frame.size() + payloadSize, 0x00);
  return frame;
}

class WrongLength : public testing::TestWithParam<CommandEntry> {};

TEST_P(WrongLength, FramesOneByteShortOrLongAreRefusedUnanswered) {
  const CommandEntry& entry = GetParam();
  std::vector<std::size_t> wrongSizes = {entry.payloadSize + 1};
  if (entry.payloadSize > 0) wrongSizes.push_back(entry.payloadSize - 1);
  for (const std::size_t payloadSize : wrongSizes) {
    SCOPED_TRACE(payloadSize);
    BoardProtocol board(PowerOnState(), {});
    const Bytes frame = FrameWithPayload(entry, payloadSize);
    const auto events = board.Feed(frame);
    std::vector<std::string> log;
    for (const BoardEvent& event : events) {
      EXPECT_EQ(event.kind, BoardEvent::Kind::Log);
      log.push_back(event.text);
    }
    const std::string refusal = "# command 0x0" + std::to_string(entry.code) + " needs a frame of " +
                                std::to_string(FrameSize(entry)) + " bytes, got " + std::to_string(frame.size()) +
                                ": no reply";
    EXPECT_NE(std::find(log.begin(), log.end(), refusal), log.end()) << refusal;
    EXPECT_EQ(board.state(), PowerOnState());
    EXPECT_FALSE(board.AwaitingMore());
  }
}

INSTANTIATE_TEST_SUITE_P(EveryCommand, WrongLength, testing::ValuesIn(COMMANDS),
                         [](const testing::TestParamInfo<CommandEntry>& info) {
                           return "Code" + std::to_string(info.param.code);
                         });

}  // namespace
}  // namespace vorna::sim
