// The unit tests' in-memory board runs the virtual board's firmware model:
// what a test sees of the board, and how the transport's own faults and
// reconnects meet the model.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <vector>

#include "link/protocol.h"
#include "support/fake_board.h"

namespace vorna::test {
namespace {

const Bytes READ_REQUEST = {PACKET_LEAD, 0x01, CMD_READ_REGISTERS};
const Bytes POWER_ON_SNAPSHOT = {0x21, 0xB4, 0x06, 0x58, 0x2A, 0x00, 0x1A, 0x00, 0x1B, 0x06};
const Bytes CHUNK_ACCEPTED = {0x00, 0x00};
const Bytes REFUSED = {0x01, 0x00};
const Bytes COMPLETE = {0xFF, 0x00};

Bytes DownloadRequest(std::size_t length) {
  return {PACKET_LEAD, 0x03, CMD_DOWNLOAD, static_cast<std::uint8_t>(length & 0xFF),
          static_cast<std::uint8_t>(length >> 8)};
}

Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

Bytes Program(std::size_t length) {
  Bytes program(length);
  for (std::size_t i = 0; i < length; ++i) program[i] = static_cast<std::uint8_t>(i * 5 + 1);
  return program;
}

struct FakeBoardTest : ::testing::Test {
  FakeBoard board;

  void SetUp() override { ASSERT_TRUE(board.Open("/dev/test1")); }
  bool Send(const Bytes& bytes) { return board.Write(bytes); }
  // Everything the board has sent so far, or nothing when the read fails.
  std::optional<Bytes> Received() {
    Bytes buffer(64);
    const auto n = board.Read(buffer);
    if (!n) return std::nullopt;
    buffer.resize(*n);
    return buffer;
  }
  // The program's chunks from `first` (0-based), `count` of them, as the
  // host writes them.
  void SendChunks(const Bytes& program, std::size_t first, std::size_t count) {
    for (std::size_t i = first; i < first + count; ++i) {
      const std::size_t end = std::min(program.size(), (i + 1) * DOWNLOAD_CHUNK_SIZE);
      ASSERT_TRUE(Send(Bytes(program.begin() + static_cast<std::ptrdiff_t>(i * DOWNLOAD_CHUNK_SIZE),
                             program.begin() + static_cast<std::ptrdiff_t>(end))));
    }
  }
};

TEST_F(FakeBoardTest, StartsInThePowerOnStateAndReportsWhatTheTestSet) {
  EXPECT_EQ(board.registers[0], 0x21);
  EXPECT_EQ(board.registers[8], 0x1B);
  EXPECT_EQ(board.channel, 6);
  board.registers[2] = 0x07;
  board.channel = 82;
  ASSERT_TRUE(Send(READ_REQUEST));
  EXPECT_EQ(Received(), (Bytes{0x21, 0xB4, 0x07, 0x58, 0x2A, 0x00, 0x1A, 0x00, 0x1B, 82}));
}

TEST_F(FakeBoardTest, CommandsChangeWhatTheTestSees) {
  ASSERT_TRUE(Send({PACKET_LEAD, 0x03, CMD_WRITE_REGISTER, 0x40, 0x2B}));
  ASSERT_TRUE(Send({PACKET_LEAD, 0x02, CMD_SET_CHANNEL, 200}));
  ASSERT_TRUE(Send({PACKET_LEAD, 0x01, CMD_STORE_DEFAULTS}));
  EXPECT_EQ(Received(),
            (Bytes{PACKET_LEAD, 0x03, CMD_WRITE_REGISTER, 0x40, 0x2B, PACKET_LEAD, 0x02, CMD_SET_CHANNEL, 200, 0x00}));
  EXPECT_EQ(board.registers[4], 0x2B);
  EXPECT_EQ(board.channel, 200);
  EXPECT_TRUE(board.defaultsStored);
}

TEST_F(FakeBoardTest, OnlyWholeFramesOfTheRightLengthAreAnswered) {
  ASSERT_TRUE(Send({PACKET_LEAD, 0x02, CMD_READ_REGISTERS, 0x00}));
  EXPECT_EQ(Received(), Bytes{});
  // A frame may come in pieces, as on a serial line.
  ASSERT_TRUE(Send({PACKET_LEAD, 0x01}));
  EXPECT_EQ(Received(), Bytes{});
  ASSERT_TRUE(Send({CMD_READ_REGISTERS}));
  EXPECT_EQ(Received(), POWER_ON_SNAPSHOT);
}

TEST_F(FakeBoardTest, AFailedWriteNeverReachesTheBoard) {
  board.failingWrites = {1};
  EXPECT_FALSE(Send({PACKET_LEAD, 0x02, CMD_SET_CHANNEL, 99}));
  EXPECT_EQ(board.lastError, "write: input/output error");
  EXPECT_EQ(Received(), Bytes{});
  EXPECT_EQ(board.channel, 6);
  ASSERT_TRUE(Send(READ_REQUEST));
  EXPECT_EQ(Received(), POWER_ON_SNAPSHOT);
}

TEST_F(FakeBoardTest, ReopeningDropsAPartialFrameAndUnreadReplies) {
  ASSERT_TRUE(Send(READ_REQUEST));
  ASSERT_TRUE(Send({PACKET_LEAD, 0x03, CMD_WRITE_REGISTER}));
  board.Close();
  ASSERT_TRUE(board.Open("/dev/test1"));
  ASSERT_TRUE(Send({PACKET_LEAD, 0x02, CMD_SET_CHANNEL, 7}));
  EXPECT_EQ(Received(), (Bytes{PACKET_LEAD, 0x02, CMD_SET_CHANNEL, 7}));
}

TEST_F(FakeBoardTest, TheProgramAppearsOnlyOnceTheDownloadCompletes) {
  const Bytes program = Program(80);
  ASSERT_TRUE(Send(DownloadRequest(program.size())));
  SendChunks(program, 0, 1);
  EXPECT_TRUE(board.program.empty());
  SendChunks(program, 1, 1);
  EXPECT_EQ(board.program, program);
  EXPECT_EQ(Received(), Concat({CHUNK_ACCEPTED, CHUNK_ACCEPTED, CHUNK_ACCEPTED, COMPLETE}));
}

TEST_F(FakeBoardTest, ARefusedChunkLeavesTheLastWholeProgram) {
  const Bytes first = Program(16);
  ASSERT_TRUE(Send(DownloadRequest(first.size())));
  SendChunks(first, 0, 1);
  ASSERT_EQ(board.program, first);
  board.faults.refuseChunk = 2;
  ASSERT_TRUE(Send(DownloadRequest(128)));
  SendChunks(Program(128), 0, 2);
  EXPECT_EQ(board.program, first);
  EXPECT_EQ(Received(), Concat({CHUNK_ACCEPTED, CHUNK_ACCEPTED, COMPLETE, CHUNK_ACCEPTED, CHUNK_ACCEPTED, REFUSED}));
}

TEST_F(FakeBoardTest, DownloadsOutsideTheUserWindowAreRefused) {
  ASSERT_TRUE(Send(DownloadRequest(0)));
  ASSERT_TRUE(Send(DownloadRequest(8193)));
  EXPECT_EQ(Received(), Concat({REFUSED, REFUSED}));
}

TEST_F(FakeBoardTest, AHangUpDeliversWhatWasSentThenTheDeviceIsGone) {
  board.faults.hangupAfterChunks = 1;
  ASSERT_TRUE(Send(DownloadRequest(128)));
  SendChunks(Program(128), 0, 1);
  EXPECT_TRUE(board.hungUp);
  EXPECT_EQ(Received(), Concat({CHUNK_ACCEPTED, CHUNK_ACCEPTED}));
  EXPECT_EQ(Received(), std::nullopt);
  EXPECT_EQ(board.lastError, "read: input/output error");
  EXPECT_FALSE(Send(READ_REQUEST));
  board.Close();
  EXPECT_FALSE(board.Open("/dev/test1"));
}

}  // namespace
}  // namespace vorna::test
