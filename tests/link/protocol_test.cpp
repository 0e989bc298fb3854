// The command table and the frame builder: every frame the host can build
// has the layout the table promises, and the register table maps both ways.

#include "link/protocol.h"

#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <set>
#include <tuple>
#include <utility>
#include <vector>

namespace vorna {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A payload whose bytes can be told apart: 0x11, 0x12, ...
template <std::size_t N>
constexpr std::array<std::uint8_t, N> DistinctPayload() {
  std::array<std::uint8_t, N> payload{};
  for (std::size_t i = 0; i < N; ++i) payload[i] = static_cast<std::uint8_t>(0x11 + i);
  return payload;
}

// The frame BuildFrame gives for the command at `Index` in COMMANDS.
template <std::size_t Index>
Bytes BuiltFrame() {
  constexpr CommandEntry entry = COMMANDS[Index];
  const auto frame =
      std::apply([](auto... bytes) { return BuildFrame<entry>(bytes...); }, DistinctPayload<entry.payloadSize>());
  return Bytes(frame.begin(), frame.end());
}

template <std::size_t... Index>
std::vector<Bytes> BuiltFrames(std::index_sequence<Index...>) {
  return {BuiltFrame<Index>()...};
}

TEST(CommandTable, EveryFrameIsLeadLengthCodePayload) {
  const auto frames = BuiltFrames(std::make_index_sequence<COMMANDS.size()>());
  ASSERT_EQ(frames.size(), COMMANDS.size());
  for (std::size_t i = 0; i < COMMANDS.size(); ++i) {
    const CommandEntry& entry = COMMANDS[i];
    const Bytes& frame = frames[i];
    SCOPED_TRACE(static_cast<int>(entry.code));
    ASSERT_EQ(frame.size(), FrameSize(entry));
    EXPECT_EQ(frame[0], PACKET_LEAD);
    // The length byte counts the code and the payload.
    EXPECT_EQ(frame[FRAME_LENGTH_INDEX], 1 + entry.payloadSize);
    EXPECT_EQ(frame.size(), 2 + frame[FRAME_LENGTH_INDEX]);
    EXPECT_EQ(frame[FRAME_CODE_INDEX], entry.code);
    const auto payload = Bytes(frame.begin() + FRAME_PAYLOAD_INDEX, frame.end());
    const auto expected = [&] {
      Bytes bytes;
      for (std::size_t b = 0; b < entry.payloadSize; ++b) bytes.push_back(static_cast<std::uint8_t>(0x11 + b));
      return bytes;
    }();
    EXPECT_EQ(payload, expected);
  }
}

TEST(CommandTable, FrameBuilderKeepsThePayloadOrder) {
  EXPECT_EQ(BuildFrame<WRITE_REGISTER_COMMAND>(std::uint8_t{0x20}, std::uint8_t{0x07}),
            (std::array<std::uint8_t, 5>{0xAA, 0x03, 0x01, 0x20, 0x07}));
  EXPECT_EQ(BuildFrame<READ_REGISTERS_COMMAND>(), (std::array<std::uint8_t, 3>{0xAA, 0x01, 0x02}));
}

TEST(CommandTable, CodesAreDistinctAndEachIsFound) {
  std::set<std::uint8_t> codes;
  for (const CommandEntry& entry : COMMANDS) {
    EXPECT_TRUE(codes.insert(entry.code).second) << static_cast<int>(entry.code);
    ASSERT_NE(FindCommand(entry.code), nullptr);
    EXPECT_EQ(FindCommand(entry.code)->code, entry.code);
    EXPECT_LT(entry.code, COMMAND_CODE_COUNT);
  }
  // The codes fill 0 to COMMAND_CODE_COUNT - 1: the range the virtual board's
  // options offer.
  EXPECT_EQ(codes.size(), COMMAND_CODE_COUNT);
  for (unsigned code = COMMAND_CODE_COUNT; code <= 0xFF; ++code) {
    EXPECT_EQ(FindCommand(static_cast<std::uint8_t>(code)), nullptr) << code;
  }
}

TEST(CommandTable, RepliesHaveTheSizeTheirKindGives) {
  for (const CommandEntry& entry : COMMANDS) {
    SCOPED_TRACE(static_cast<int>(entry.code));
    switch (entry.replyKind) {
      case ReplyKind::Echo:
        EXPECT_EQ(entry.replySize, FrameSize(entry));
        break;
      case ReplyKind::Snapshot:
        EXPECT_EQ(entry.replySize, REGISTER_SNAPSHOT_SIZE);
        break;
      case ReplyKind::Done:
        EXPECT_EQ(entry.replySize, 1u);
        break;
      case ReplyKind::Verdict:
        EXPECT_EQ(entry.replySize, 2u);
        break;
    }
  }
}

TEST(CommandTable, TheDownloadStartCarriesTheWholeProgramWindow) {
  const std::size_t payloadBits = DOWNLOAD_COMMAND.payloadSize * 8;
  EXPECT_LE(USER_PROGRAM_MAX_LENGTH, (std::size_t{1} << payloadBits) - 1);
  EXPECT_EQ(USER_PROGRAM_MAX_LENGTH % DOWNLOAD_CHUNK_SIZE, 0u);
}

TEST(RegisterTable, AddressesStepBySixteenFromA0) {
  for (std::size_t index = 0; index < REGISTER_COUNT; ++index) {
    EXPECT_EQ(REGISTER_ADDRESSES[index], index * 0x10) << index;
    EXPECT_EQ(SnapshotIndexOfAddress(REGISTER_ADDRESSES[index]), index);
  }
  EXPECT_EQ(REGISTER_COUNT, SNAPSHOT_CHANNEL);
  EXPECT_EQ(REG_A0, 0x00);
  EXPECT_EQ(REG_A8, 0x80);
}

TEST(RegisterTable, OtherAddressesNameNoRegister) {
  std::size_t named = 0;
  for (unsigned address = 0; address <= 0xFF; ++address) {
    const auto index = SnapshotIndexOfAddress(static_cast<std::uint8_t>(address));
    if (index) {
      ++named;
      EXPECT_EQ(REGISTER_ADDRESSES[*index], address);
    }
  }
  EXPECT_EQ(named, REGISTER_COUNT);
  EXPECT_FALSE(SnapshotIndexOfAddress(REG_PREFIX));
  EXPECT_FALSE(SnapshotIndexOfAddress(0x90));
  EXPECT_FALSE(SnapshotIndexOfAddress(0x05));
}

}  // namespace
}  // namespace vorna
