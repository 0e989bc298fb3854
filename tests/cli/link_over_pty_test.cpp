// The device link over a real pseudo-terminal against the virtual board:
// the same code path as with a board on a USB serial port.

#include <gtest/gtest.h>

#include <unistd.h>
#include <cstdio>
#include <filesystem>

#include "commands/register_writes.h"
#include "link/device_link.h"
#include "link/protocol.h"
#include "link/serial_posix.h"
#include "model/quick_settings.h"
#include "model/transmitter_fields.h"
#include "support/board_sim.h"
#include "support/recording_sink.h"

namespace vorna::test {
namespace {

using Strings = std::vector<std::string>;
using Clock = std::chrono::steady_clock;

const RegisterSnapshot POWER_ON = PowerOnSnapshot();

struct Session {
  explicit Session(const BoardSim& sim) : link(transport, sink) { EXPECT_TRUE(link.OpenDevice(sim.device())); }
  PosixSerialTransport transport;
  RecordingSink sink;
  DeviceLink link;
};

RegisterSnapshot ReadBack(const BoardSim& sim) {
  Session s(sim);
  const LinkResult<RegisterSnapshot> read = s.link.ReadRegisters();
  EXPECT_TRUE(read);
  EXPECT_TRUE(s.sink.entries.empty());
  return read ? read.value() : RegisterSnapshot{};
}

TEST(LinkOverPty, ReadsThePowerOnRegisters) {
  BoardSim sim;
  ASSERT_TRUE(sim.ok());
  EXPECT_EQ(ReadBack(sim), POWER_ON);
}

TEST(LinkOverPty, QuickApplyReachesTheBoard) {
  BoardSim sim;
  ASSERT_TRUE(sim.ok());
  {
    Session s(sim);
    QuickSettings q;
    q.frequency = 0.1 * 7 + 99;
    q.powerIndex = 1;
    q.audioLevelIndex = 2;
    q.preEmphasisIndex = 1;
    q.timeConstantIndex = 0;
    EXPECT_TRUE(ApplyQuickSettings(s.link, q));
    EXPECT_TRUE(s.sink.entries.empty());
  }
  const auto after = ReadBack(sim);
  EXPECT_EQ(after.bytes[SNAPSHOT_A0], 0x91);
  EXPECT_EQ(after.bytes[SNAPSHOT_A2], 0x07);
  EXPECT_EQ(after.bytes[SNAPSHOT_CHANNEL], 122);  // 99.7 MHz
}

TEST(LinkOverPty, FullRegisterWriteReachesTheBoard) {
  BoardSim sim;
  ASSERT_TRUE(sim.ok());
  TransmitterFields fields = DefaultFields();
  fields[FIELD_MUTE] = 1;
  fields[FIELD_P] = 0x1F40;
  fields[FIELD_CEX] = 0;
  const RegisterBytes r = EncodeFields(fields);
  {
    Session s(sim);
    EXPECT_TRUE(ApplyFields(s.link, r));
    EXPECT_TRUE(s.sink.entries.empty());
  }
  const auto after = ReadBack(sim);
  EXPECT_EQ(after.bytes[SNAPSHOT_A0], r.a0);
  EXPECT_EQ(after.bytes[SNAPSHOT_A3], 0x40);
  EXPECT_EQ(after.bytes[SNAPSHOT_A4], 0x1F);
  EXPECT_EQ(after.bytes[SNAPSHOT_A8], 0x18);
}

TEST(LinkOverPty, StoredDefaultsSurviveARestartOfTheBoard) {
  const std::string statePath =
      (std::filesystem::temp_directory_path() / ("vorna-state-" + std::to_string(::getpid()))).string();
  std::remove(statePath.c_str());
  RegisterSnapshot stored;
  {
    BoardSim sim(BoardSimSetup{{}, statePath, {}});
    ASSERT_TRUE(sim.ok());
    Session s(sim);
    EXPECT_TRUE(s.link.SetChannel(205));
    EXPECT_TRUE(s.link.WriteRegister(0x20, 0x07));
    EXPECT_TRUE(s.link.StoreDefaults());
    const LinkResult<RegisterSnapshot> read = s.link.ReadRegisters();
    EXPECT_TRUE(read);
    if (read) stored = read.value();
  }
  // A second board on the same state file starts with what was stored.
  BoardSim restarted(BoardSimSetup{{}, statePath, {}});
  ASSERT_TRUE(restarted.ok());
  EXPECT_EQ(ReadBack(restarted), stored);
  EXPECT_EQ(stored.bytes[SNAPSHOT_CHANNEL], 205);
  std::remove(statePath.c_str());
}

// Each fault of the board: what the operation reports, and that the next
// session on the same device works (the port was closed, nothing leaked).
struct FaultRow {
  const char* name;
  std::vector<std::string> simArgs;
  std::function<bool(DeviceLink&)> operation;
  bool result;
  Strings messages;
};

void PrintTo(const FaultRow& row, std::ostream* os) { *os << row.name; }

class LinkFaultRows : public ::testing::TestWithParam<FaultRow> {};

TEST_P(LinkFaultRows, ReportsAndRecovers) {
  const auto& row = GetParam();
  BoardSim sim(row.simArgs);
  ASSERT_TRUE(sim.ok());
  {
    Session s(sim);
    EXPECT_EQ(row.operation(s.link), row.result);
    EXPECT_EQ(s.sink.Texts(), row.messages);
  }
  Session next(sim);
  EXPECT_TRUE(next.link.IsOpen());
  EXPECT_TRUE(next.link.WriteRegister(0x10, 0xB4));
  EXPECT_TRUE(next.sink.entries.empty());
}

bool ApplyDefaults(DeviceLink& link) {
  TransmitterFields f = DefaultFields();
  return ApplyFields(link, EncodeFields(f));
}

bool ReadSnapshot(DeviceLink& link) { return link.ReadRegisters().ok(); }

bool Download16(DeviceLink& link) {
  const std::vector<std::uint8_t> chunk(16, 0x3C);
  return link.StartDownload(16) && link.SendChunk(chunk, true);
}

bool Download128(DeviceLink& link) {
  const std::vector<std::uint8_t> chunk(64, 0x3C);
  return link.StartDownload(128) && link.SendChunk({chunk.data(), 64}, false) &&
         link.SendChunk({chunk.data(), 64}, true);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, LinkFaultRows,
    ::testing::Values(
        FaultRow{"corrupt_echo", {"--corrupt-echo", "3"}, ApplyDefaults, false, {"ReadData error"}},
        FaultRow{"short_register_reply", {"--short-registers", "9"}, ReadSnapshot, false, {"Read error"}},
        FaultRow{"silent_register_read", {"--silent", "2"}, ReadSnapshot, false, {"Read error"}},
        FaultRow{"silent_set_channel", {"--silent", "0"}, [](DeviceLink& l) { return l.SetChannel(3).ok(); }, true, {}},
        FaultRow{"silent_store", {"--silent", "3"}, [](DeviceLink& l) { return l.StoreDefaults().ok(); }, true, {}},
        FaultRow{"refused_start", {"--refuse-start"}, Download16, false, {}},
        FaultRow{"refused_chunk", {"--refuse-chunk", "2"}, Download128, false, {}},
        FaultRow{"bad_final_ack", {"--bad-final-ack"}, Download16, false, {}},
        FaultRow{"silent_chunks", {"--silent", "chunk"}, Download16, false, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LinkOverPty, SilentBoardCostsOnlyTheReadTimeOut) {
  BoardSim sim({"--mute"});
  ASSERT_TRUE(sim.ok());
  Session s(sim);
  const auto start = Clock::now();
  EXPECT_FALSE(s.link.ReadRegisters());
  const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
  EXPECT_EQ(s.sink.Texts(), Strings{"Read error"});
  EXPECT_GE(waited, ReadTotalTimeoutMs(10));
  EXPECT_LT(waited, ReadTotalTimeoutMs(10) + 1000);
}

TEST(LinkOverPty, HangUpInTheMiddleOfADownloadFailsWithoutWaiting) {
  // The board vanishes right after acknowledging the second chunk; whether
  // that acknowledgement still arrives is a race the host cannot win, the
  // third chunk certainly fails.
  BoardSim sim({"--hangup-after-chunks", "2"});
  ASSERT_TRUE(sim.ok());
  Session s(sim);
  const std::vector<std::uint8_t> chunk(64, 0x11);
  ASSERT_TRUE(s.link.StartDownload(192));
  EXPECT_TRUE(s.link.SendChunk({chunk.data(), 64}, false));
  const auto start = Clock::now();
  const bool second = s.link.SendChunk({chunk.data(), 64}, false).ok();
  const bool third = second && s.link.SendChunk({chunk.data(), 64}, true);
  EXPECT_FALSE(third);
  // Each failed exchange ends at its read time-out at the latest.
  EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count(),
            2 * ReadTotalTimeoutMs(2) + 1000);
  s.link.ClosePort();
  EXPECT_FALSE(s.link.IsOpen());
}

}  // namespace
}  // namespace vorna::test
