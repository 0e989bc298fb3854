// The virtual board's firmware, fed bytes directly: every command, every
// fault, and what happens to input that makes no sense.

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "sim/board_protocol.h"

namespace vorna::sim {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Kind = BoardEvent::Kind;

const Bytes READ_REQUEST = {PACKET_LEAD, 0x01, CMD_READ_REGISTERS};
const BoardState POWER_ON = PowerOnState();
const Bytes POWER_ON_SNAPSHOT(POWER_ON.bytes.begin(), POWER_ON.bytes.end());
const Bytes CHUNK_ACCEPTED = {0x00, 0x00};
const Bytes REFUSED = {0x01, 0x00};
const Bytes COMPLETE = {0xFF, 0x00};

Bytes WriteRequest(std::uint8_t address, std::uint8_t value) {
  return {PACKET_LEAD, 0x03, CMD_WRITE_REGISTER, address, value};
}
Bytes ChannelRequest(std::uint8_t channel) { return {PACKET_LEAD, 0x02, CMD_SET_CHANNEL, channel}; }
Bytes DownloadRequest(std::size_t length) {
  return {PACKET_LEAD, 0x03, CMD_DOWNLOAD, static_cast<std::uint8_t>(length & 0xFF),
          static_cast<std::uint8_t>(length >> 8)};
}
Bytes StoreRequest() { return {PACKET_LEAD, 0x01, CMD_STORE_DEFAULTS}; }

Bytes Program(std::size_t length) {
  Bytes program(length);
  for (std::size_t i = 0; i < length; ++i) program[i] = static_cast<std::uint8_t>(i * 7 + 3);
  return program;
}

// What one batch of input made the board do, sorted by kind.
struct Outcome {
  std::vector<Bytes> replies;
  std::vector<std::string> log;
  std::vector<BoardState> stored;
  std::vector<Bytes> programs;
  int hangUps = 0;
  std::vector<Kind> order;
};

Outcome Collect(const std::vector<BoardEvent>& events) {
  Outcome outcome;
  for (const auto& event : events) {
    outcome.order.push_back(event.kind);
    switch (event.kind) {
      case Kind::Log:
        outcome.log.push_back(event.text);
        break;
      case Kind::Reply:
        outcome.replies.push_back(event.bytes);
        break;
      case Kind::StoreDefaults:
        outcome.stored.push_back(event.state);
        break;
      case Kind::ProgramReceived:
        outcome.programs.push_back(event.bytes);
        break;
      case Kind::HangUp:
        ++outcome.hangUps;
        break;
    }
  }
  return outcome;
}

Outcome Feed(BoardProtocol& board, const Bytes& bytes) { return Collect(board.Feed(bytes)); }

bool Logged(const Outcome& outcome, const std::string& line) {
  return std::find(outcome.log.begin(), outcome.log.end(), line) != outcome.log.end();
}

BoardState StateWith(std::size_t index, std::uint8_t value) {
  BoardState state = PowerOnState();
  state.bytes[index] = value;
  return state;
}

// ---- commands on a healthy board ----

struct CommandCase {
  const char* name;
  Bytes request;
  std::vector<Bytes> replies;
  BoardState after;
  std::string logLine;  // one line that must be logged
};
// Test names and failure messages show the case by its name.
void PrintTo(const CommandCase& c, std::ostream* out) { *out << c.name; }

class BoardCommand : public testing::TestWithParam<CommandCase> {};

TEST_P(BoardCommand, RepliesChangesStateAndLogs) {
  const CommandCase& c = GetParam();
  BoardProtocol board(PowerOnState(), {});
  const Outcome outcome = Feed(board, c.request);
  EXPECT_EQ(outcome.replies, c.replies);
  EXPECT_EQ(board.state(), c.after);
  EXPECT_TRUE(Logged(outcome, c.logLine)) << "missing log line: " << c.logLine;
  EXPECT_FALSE(board.AwaitingMore());
}

INSTANTIATE_TEST_SUITE_P(
    Commands, BoardCommand,
    testing::Values(
        CommandCase{"ReadRegisters", READ_REQUEST, {POWER_ON_SNAPSHOT}, PowerOnState(), "<- aa 01 02"},
        CommandCase{"SetChannel",
                    ChannelRequest(205),
                    {ChannelRequest(205)},
                    StateWith(SNAPSHOT_CHANNEL, 205),
                    "-> aa 02 00 cd"},
        CommandCase{"WriteA0",
                    WriteRequest(REG_A0, 0x71),
                    {WriteRequest(REG_A0, 0x71)},
                    StateWith(SNAPSHOT_A0, 0x71),
                    "<- aa 03 01 00 71"},
        CommandCase{"WriteA1",
                    WriteRequest(REG_A1, 0xBC),
                    {WriteRequest(REG_A1, 0xBC)},
                    StateWith(SNAPSHOT_A1, 0xBC),
                    "-> aa 03 01 10 bc"},
        CommandCase{"WriteA2",
                    WriteRequest(REG_A2, 0x07),
                    {WriteRequest(REG_A2, 0x07)},
                    StateWith(SNAPSHOT_A2, 0x07),
                    "-> aa 03 01 20 07"},
        CommandCase{"WriteA3",
                    WriteRequest(REG_A3, 0x45),
                    {WriteRequest(REG_A3, 0x45)},
                    StateWith(SNAPSHOT_A3, 0x45),
                    "-> aa 03 01 30 45"},
        CommandCase{"WriteA4",
                    WriteRequest(REG_A4, 0x23),
                    {WriteRequest(REG_A4, 0x23)},
                    StateWith(SNAPSHOT_A4, 0x23),
                    "-> aa 03 01 40 23"},
        CommandCase{"WriteA5",
                    WriteRequest(0x50, 0x99),
                    {WriteRequest(0x50, 0x99)},
                    StateWith(SNAPSHOT_A5, 0x99),
                    "-> aa 03 01 50 99"},
        CommandCase{"WriteA6",
                    WriteRequest(REG_A6, 0x1E),
                    {WriteRequest(REG_A6, 0x1E)},
                    StateWith(SNAPSHOT_A6, 0x1E),
                    "-> aa 03 01 60 1e"},
        CommandCase{"WriteA7",
                    WriteRequest(0x70, 0x42),
                    {WriteRequest(0x70, 0x42)},
                    StateWith(SNAPSHOT_A7, 0x42),
                    "-> aa 03 01 70 42"},
        CommandCase{"WriteA8",
                    WriteRequest(REG_A8, 0x18),
                    {WriteRequest(REG_A8, 0x18)},
                    StateWith(SNAPSHOT_A8, 0x18),
                    "-> aa 03 01 80 18"},
        CommandCase{"WritePrefixChangesNothing",
                    WriteRequest(REG_PREFIX, PREFIX_REGISTER_VALUE),
                    {WriteRequest(REG_PREFIX, PREFIX_REGISTER_VALUE)},
                    PowerOnState(),
                    "-> aa 03 01 e0 05"},
        CommandCase{"WriteBetweenRegisters",
                    WriteRequest(0x05, 0x77),
                    {WriteRequest(0x05, 0x77)},
                    PowerOnState(),
                    "# address 0x05 names no register: nothing written"},
        CommandCase{"WriteAboveA8",
                    WriteRequest(0x90, 0x77),
                    {WriteRequest(0x90, 0x77)},
                    PowerOnState(),
                    "# address 0x90 names no register: nothing written"},
        CommandCase{"StoreDefaults", StoreRequest(), {{STORE_DEFAULTS_REPLY}}, PowerOnState(), "-> 00"},
        CommandCase{
            "UnknownCommand", {PACKET_LEAD, 0x01, 0x07}, {}, PowerOnState(), "# unknown command 0x07: no reply"},
        CommandCase{"ReadWithArgument",
                    {PACKET_LEAD, 0x02, CMD_READ_REGISTERS, 0x00},
                    {},
                    PowerOnState(),
                    "# command 0x02 needs a frame of 3 bytes, got 4: no reply"},
        CommandCase{"ChannelWithoutArgument",
                    {PACKET_LEAD, 0x01, CMD_SET_CHANNEL},
                    {},
                    PowerOnState(),
                    "# command 0x00 needs a frame of 4 bytes, got 3: no reply"},
        CommandCase{"EmptyFrame", {PACKET_LEAD, 0x00}, {}, PowerOnState(), "# empty frame: no command"},
        CommandCase{"NoiseBeforeFrame",
                    {0x55, 0x66, PACKET_LEAD, 0x01, CMD_READ_REGISTERS},
                    {POWER_ON_SNAPSHOT},
                    PowerOnState(),
                    "# ignored 2 bytes outside a frame: 55 66"},
        CommandCase{"NoiseAlone", {0x00}, {}, PowerOnState(), "# ignored 1 byte outside a frame: 00"}),
    [](const testing::TestParamInfo<CommandCase>& info) { return std::string(info.param.name); });

TEST(BoardProtocol, StoreDefaultsHandsOverTheCurrentStateBeforeReplying) {
  BoardProtocol board(PowerOnState(), {});
  Feed(board, WriteRequest(REG_A0, 0xB1));
  Feed(board, ChannelRequest(9));
  const Outcome outcome = Feed(board, StoreRequest());
  ASSERT_EQ(outcome.stored.size(), 1u);
  BoardState expected = StateWith(SNAPSHOT_A0, 0xB1);
  expected.bytes[SNAPSHOT_CHANNEL] = 9;
  EXPECT_EQ(outcome.stored[0], expected);
  const auto stored = std::find(outcome.order.begin(), outcome.order.end(), Kind::StoreDefaults);
  const auto reply = std::find(outcome.order.begin(), outcome.order.end(), Kind::Reply);
  EXPECT_LT(stored, reply);
}

TEST(BoardProtocol, ReadsBackWhatWasWritten) {
  BoardProtocol board(PowerOnState(), {});
  Feed(board, WriteRequest(REG_A2, 0x07));
  Feed(board, ChannelRequest(0));
  const Outcome outcome = Feed(board, READ_REQUEST);
  ASSERT_EQ(outcome.replies.size(), 1u);
  EXPECT_EQ(outcome.replies[0], (Bytes{0x21, 0xB4, 0x07, 0x58, 0x2A, 0x00, 0x1A, 0x00, 0x1B, 0x00}));
}

TEST(BoardProtocol, StartsFromTheGivenState) {
  BoardState stored = StateWith(SNAPSHOT_A3, 0x12);
  stored.bytes[SNAPSHOT_CHANNEL] = 100;
  BoardProtocol board(stored, {});
  const Outcome outcome = Feed(board, READ_REQUEST);
  ASSERT_EQ(outcome.replies.size(), 1u);
  EXPECT_EQ(outcome.replies[0], Bytes(stored.bytes.begin(), stored.bytes.end()));
}

TEST(BoardProtocol, ByteByByteEqualsAllAtOnce) {
  Bytes session;
  for (const Bytes& part : {WriteRequest(REG_A0, 0x31), ChannelRequest(3), READ_REQUEST, DownloadRequest(70),
                            Program(70), StoreRequest()}) {
    session.insert(session.end(), part.begin(), part.end());
  }
  BoardProtocol whole(PowerOnState(), {});
  const Outcome atOnce = Feed(whole, session);
  BoardProtocol single(PowerOnState(), {});
  Outcome byteWise;
  for (const std::uint8_t byte : session) {
    const Outcome one = Feed(single, {byte});
    byteWise.replies.insert(byteWise.replies.end(), one.replies.begin(), one.replies.end());
    byteWise.programs.insert(byteWise.programs.end(), one.programs.begin(), one.programs.end());
    byteWise.stored.insert(byteWise.stored.end(), one.stored.begin(), one.stored.end());
  }
  EXPECT_EQ(byteWise.replies, atOnce.replies);
  EXPECT_EQ(byteWise.programs, atOnce.programs);
  EXPECT_EQ(byteWise.stored, atOnce.stored);
  EXPECT_EQ(atOnce.replies.size(), 8u);  // echo, echo, snapshot, start, 2 chunks, completion, store
}

TEST(BoardProtocol, EventsNameTheByteThatCausedThem) {
  Bytes batch = {0x55};
  for (const Bytes& part : {WriteRequest(REG_A0, 0x31), READ_REQUEST})
    batch.insert(batch.end(), part.begin(), part.end());
  batch.push_back(0x66);
  std::vector<std::size_t> replyCauses;
  std::vector<std::size_t> logCauses;
  for (const auto& event : BoardProtocol(PowerOnState(), {}).Feed(batch)) {
    (event.kind == Kind::Reply ? replyCauses : logCauses).push_back(event.cause);
  }
  // The echo follows the write's last byte (index 5), the snapshot the
  // read's (index 8).
  EXPECT_EQ(replyCauses, (std::vector<std::size_t>{5, 8}));
  // Noise is logged when the lead ends it, and at the end of the batch.
  EXPECT_EQ(logCauses.front(), 1u);
  EXPECT_EQ(logCauses.back(), 9u);
}

// ---- downloads ----

class DownloadLength : public testing::TestWithParam<std::size_t> {};

TEST_P(DownloadLength, ChunksOf64AcknowledgedThenCompleted) {
  const std::size_t length = GetParam();
  BoardProtocol board(PowerOnState(), {});
  const Outcome start = Feed(board, DownloadRequest(length));
  ASSERT_EQ(start.replies, std::vector<Bytes>{CHUNK_ACCEPTED});
  const Bytes program = Program(length);
  std::size_t sent = 0;
  while (sent < length) {
    const std::size_t count = std::min<std::size_t>(DOWNLOAD_CHUNK_SIZE, length - sent);
    ASSERT_TRUE(board.AwaitingMore());
    const Outcome chunk = Feed(board, Bytes(program.begin() + static_cast<std::ptrdiff_t>(sent),
                                            program.begin() + static_cast<std::ptrdiff_t>(sent + count)));
    sent += count;
    if (sent < length) {
      EXPECT_EQ(chunk.replies, std::vector<Bytes>{CHUNK_ACCEPTED}) << "after " << sent << " bytes";
      EXPECT_TRUE(chunk.programs.empty());
    } else {
      EXPECT_EQ(chunk.replies, (std::vector<Bytes>{CHUNK_ACCEPTED, COMPLETE}));
      ASSERT_EQ(chunk.programs.size(), 1u);
      EXPECT_EQ(chunk.programs[0], program);
      EXPECT_TRUE(Logged(chunk, "# download complete: " + std::to_string(length) + (length == 1 ? " byte" : " bytes")));
    }
  }
  EXPECT_FALSE(board.AwaitingMore());
  EXPECT_EQ(Feed(board, READ_REQUEST).replies, std::vector<Bytes>{POWER_ON_SNAPSHOT});
}

INSTANTIATE_TEST_SUITE_P(Lengths, DownloadLength, testing::Values(1, 16, 63, 64, 65, 80, 128, 8191, 8192));

class RefusedDownloadLength : public testing::TestWithParam<std::size_t> {};

TEST_P(RefusedDownloadLength, RefusedAndStillTakesCommands) {
  BoardProtocol board(PowerOnState(), {});
  const Outcome start = Feed(board, DownloadRequest(GetParam()));
  EXPECT_EQ(start.replies, std::vector<Bytes>{REFUSED});
  EXPECT_FALSE(board.AwaitingMore());
  EXPECT_EQ(Feed(board, READ_REQUEST).replies, std::vector<Bytes>{POWER_ON_SNAPSHOT});
}

INSTANTIATE_TEST_SUITE_P(Lengths, RefusedDownloadLength, testing::Values(0, 8193, 0xFFFF));

TEST(BoardProtocol, ProgramBytesThatLookLikeFramesAreData) {
  BoardProtocol board(PowerOnState(), {});
  Feed(board, DownloadRequest(READ_REQUEST.size()));
  const Outcome outcome = Feed(board, READ_REQUEST);
  EXPECT_EQ(outcome.replies, (std::vector<Bytes>{CHUNK_ACCEPTED, COMPLETE}));
  ASSERT_EQ(outcome.programs.size(), 1u);
  EXPECT_EQ(outcome.programs[0], READ_REQUEST);
}

TEST(BoardProtocol, ChunkIsLoggedAsOneRequestLine) {
  BoardProtocol board(PowerOnState(), {});
  Feed(board, DownloadRequest(3));
  const Outcome outcome = Feed(board, {0xAA, 0x00, 0xFF});
  EXPECT_TRUE(Logged(outcome, "<- aa 00 ff"));
  EXPECT_TRUE(Logged(outcome, "-> 00 00"));
  EXPECT_TRUE(Logged(outcome, "-> ff 00"));
}

// ---- a host that gives up ----

TEST(BoardProtocol, IdleHostDropsPartialFrame) {
  BoardProtocol board(PowerOnState(), {});
  EXPECT_TRUE(Feed(board, {PACKET_LEAD, 0x03, CMD_WRITE_REGISTER}).replies.empty());
  EXPECT_TRUE(board.AwaitingMore());
  const Outcome idle = Collect(board.InputIdle());
  EXPECT_TRUE(Logged(idle, "# incomplete frame dropped: aa 03 01"));
  EXPECT_FALSE(board.AwaitingMore());
  EXPECT_EQ(Feed(board, READ_REQUEST).replies, std::vector<Bytes>{POWER_ON_SNAPSHOT});
}

TEST(BoardProtocol, IdleHostAbandonsDownload) {
  BoardProtocol board(PowerOnState(), {});
  Feed(board, DownloadRequest(100));
  Feed(board, Program(70));
  const Outcome idle = Collect(board.InputIdle());
  EXPECT_TRUE(Logged(idle, "# download abandoned after 70 of 100 bytes"));
  EXPECT_TRUE(idle.programs.empty());
  EXPECT_EQ(Feed(board, READ_REQUEST).replies, std::vector<Bytes>{POWER_ON_SNAPSHOT});
}

TEST(BoardProtocol, IdleBetweenCommandsChangesNothing) {
  BoardProtocol board(PowerOnState(), {});
  EXPECT_TRUE(Collect(board.InputIdle()).log.empty());
  EXPECT_EQ(Feed(board, READ_REQUEST).replies, std::vector<Bytes>{POWER_ON_SNAPSHOT});
}

TEST(BoardProtocol, SurvivesRandomInput) {
  std::mt19937 random(20240607);
  std::uniform_int_distribution<int> byte(0, 255);
  std::uniform_int_distribution<int> batchSize(1, 300);
  BoardProtocol board(PowerOnState(), {});
  std::size_t fed = 0;
  while (fed < 500'000) {
    Bytes batch(static_cast<std::size_t>(batchSize(random)));
    for (auto& b : batch) b = static_cast<std::uint8_t>(byte(random));
    // Bias towards frames so that every command and downloads get exercised.
    if (batch.size() > 2) batch[0] = PACKET_LEAD;
    if (batch.size() > 2) batch[1] = static_cast<std::uint8_t>(batch[1] % 6);
    for (const auto& event : board.Feed(batch)) {
      if (event.kind == Kind::Reply) {
        EXPECT_FALSE(event.bytes.empty());
        EXPECT_LE(event.bytes.size(), REGISTER_SNAPSHOT_SIZE);
      }
    }
    if (batch.size() % 17 == 0) board.InputIdle();
    fed += batch.size();
  }
  board.InputIdle();
  const Outcome outcome = Feed(board, READ_REQUEST);
  ASSERT_EQ(outcome.replies.size(), 1u);
  EXPECT_EQ(outcome.replies[0], Bytes(board.state().bytes.begin(), board.state().bytes.end()));
}

// ---- faults ----

TEST(BoardFault, CorruptEchoChangesOneByteOfThatWriteOnly) {
  BoardFaults faults;
  faults.corruptEcho = 2;
  BoardProtocol board(PowerOnState(), faults);
  for (unsigned write = 1; write <= 3; ++write) {
    const Bytes request = WriteRequest(REG_A0, static_cast<std::uint8_t>(0x20 + write));
    const Outcome outcome = Feed(board, request);
    ASSERT_EQ(outcome.replies.size(), 1u);
    const Bytes& echo = outcome.replies[0];
    ASSERT_EQ(echo.size(), request.size());
    std::size_t differing = 0;
    for (std::size_t i = 0; i < echo.size(); ++i) differing += echo[i] != request[i] ? 1 : 0;
    EXPECT_EQ(differing, write == 2 ? 1u : 0u) << "write " << write;
    // The write itself reached the chip.
    EXPECT_EQ(board.state().bytes[SNAPSHOT_A0], 0x20 + write);
  }
}

TEST(BoardFault, CorruptEchoCountsPrefixWrites) {
  BoardFaults faults;
  faults.corruptEcho = 1;
  BoardProtocol board(PowerOnState(), faults);
  EXPECT_NE(Feed(board, WriteRequest(REG_PREFIX, PREFIX_REGISTER_VALUE)).replies.at(0),
            WriteRequest(REG_PREFIX, PREFIX_REGISTER_VALUE));
  EXPECT_EQ(Feed(board, WriteRequest(REG_A0, 1)).replies.at(0), WriteRequest(REG_A0, 1));
}

class ShortRegisters : public testing::TestWithParam<std::size_t> {};

TEST_P(ShortRegisters, DeliversOnlyTheFirstBytes) {
  BoardFaults faults;
  faults.shortRegisters = GetParam();
  BoardProtocol board(PowerOnState(), faults);
  const Outcome outcome = Feed(board, READ_REQUEST);
  const Bytes expected(POWER_ON_SNAPSHOT.begin(), POWER_ON_SNAPSHOT.begin() + static_cast<std::ptrdiff_t>(GetParam()));
  EXPECT_EQ(outcome.replies, expected.empty() ? std::vector<Bytes>{} : std::vector<Bytes>{expected});
}

INSTANTIATE_TEST_SUITE_P(Counts, ShortRegisters, testing::Values(0, 1, 9));

struct SilentCase {
  const char* name;
  std::uint8_t command;
  Bytes request;
  BoardState after;
  int storeEvents;
};
// Test names and failure messages show the case by its name.
void PrintTo(const SilentCase& c, std::ostream* out) { *out << c.name; }

class SilentCommand : public testing::TestWithParam<SilentCase> {};

TEST_P(SilentCommand, CarriedOutButNotAnswered) {
  const SilentCase& c = GetParam();
  BoardFaults faults;
  faults.silent[c.command] = true;
  BoardProtocol board(PowerOnState(), faults);
  const Outcome outcome = Feed(board, c.request);
  EXPECT_TRUE(outcome.replies.empty());
  EXPECT_EQ(board.state(), c.after);
  EXPECT_EQ(static_cast<int>(outcome.stored.size()), c.storeEvents);
  EXPECT_TRUE(std::any_of(outcome.log.begin(), outcome.log.end(), [&](const std::string& line) {
    return line.starts_with("# reply withheld (--silent " + std::to_string(c.command) + "): ");
  }));
  // Other commands are still answered.
  const Bytes other = c.command == CMD_READ_REGISTERS ? ChannelRequest(1) : READ_REQUEST;
  BoardProtocol fresh(PowerOnState(), faults);
  EXPECT_EQ(Feed(fresh, other).replies.size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, SilentCommand,
    testing::Values(SilentCase{"SetChannel", CMD_SET_CHANNEL, ChannelRequest(7), StateWith(SNAPSHOT_CHANNEL, 7), 0},
                    SilentCase{"WriteRegister", CMD_WRITE_REGISTER, WriteRequest(REG_A6, 0x02),
                               StateWith(SNAPSHOT_A6, 0x02), 0},
                    SilentCase{"ReadRegisters", CMD_READ_REGISTERS, READ_REQUEST, PowerOnState(), 0},
                    SilentCase{"StoreDefaults", CMD_STORE_DEFAULTS, StoreRequest(), PowerOnState(), 1},
                    SilentCase{"Download", CMD_DOWNLOAD, DownloadRequest(64), PowerOnState(), 0}),
    [](const testing::TestParamInfo<SilentCase>& info) { return std::string(info.param.name); });

TEST(BoardFault, SilentDownloadStillTakesTheProgram) {
  BoardFaults faults;
  faults.silent[CMD_DOWNLOAD] = true;
  BoardProtocol board(PowerOnState(), faults);
  EXPECT_TRUE(Feed(board, DownloadRequest(16)).replies.empty());
  EXPECT_EQ(Feed(board, Program(16)).replies, (std::vector<Bytes>{CHUNK_ACCEPTED, COMPLETE}));
}

TEST(BoardFault, SilentChunkAcknowledgesNoChunk) {
  BoardFaults faults;
  faults.silentChunk = true;
  BoardProtocol board(PowerOnState(), faults);
  EXPECT_EQ(Feed(board, DownloadRequest(128)).replies, std::vector<Bytes>{CHUNK_ACCEPTED});
  const Outcome first = Feed(board, Program(64));
  EXPECT_TRUE(first.replies.empty());
  EXPECT_TRUE(Logged(first, "# reply withheld (--silent chunk): 00 00"));
}

TEST(BoardFault, RefuseStartRefusesAValidLength) {
  BoardFaults faults;
  faults.refuseStart = true;
  BoardProtocol board(PowerOnState(), faults);
  EXPECT_EQ(Feed(board, DownloadRequest(64)).replies, std::vector<Bytes>{REFUSED});
  EXPECT_FALSE(board.AwaitingMore());
}

TEST(BoardFault, RefuseChunkRefusesThatChunkOfEachDownload) {
  BoardFaults faults;
  faults.refuseChunk = 2;
  BoardProtocol board(PowerOnState(), faults);
  for (int download = 0; download < 2; ++download) {
    EXPECT_EQ(Feed(board, DownloadRequest(192)).replies, std::vector<Bytes>{CHUNK_ACCEPTED});
    EXPECT_EQ(Feed(board, Program(64)).replies, std::vector<Bytes>{CHUNK_ACCEPTED});
    const Outcome refused = Feed(board, Program(64));
    EXPECT_EQ(refused.replies, std::vector<Bytes>{REFUSED});
    EXPECT_TRUE(refused.programs.empty());
    // The board has given the download up and reads commands again.
    EXPECT_FALSE(board.AwaitingMore());
    EXPECT_EQ(Feed(board, READ_REQUEST).replies, std::vector<Bytes>{POWER_ON_SNAPSHOT});
  }
}

TEST(BoardFault, BadFinalAckLacksTheCompletionCode) {
  BoardFaults faults;
  faults.badFinalAck = true;
  BoardProtocol board(PowerOnState(), faults);
  Feed(board, DownloadRequest(16));
  const Outcome last = Feed(board, Program(16));
  EXPECT_EQ(last.replies, (std::vector<Bytes>{CHUNK_ACCEPTED, CHUNK_ACCEPTED}));
  EXPECT_EQ(last.programs.size(), 1u);
}

TEST(BoardFault, HangUpFollowsTheNthChunkSinceStart) {
  BoardFaults faults;
  faults.hangupAfterChunks = 3;
  BoardProtocol board(PowerOnState(), faults);
  Feed(board, DownloadRequest(128));
  EXPECT_EQ(Feed(board, Program(64)).hangUps, 0);
  EXPECT_EQ(Feed(board, Program(64)).hangUps, 0);
  Feed(board, DownloadRequest(128));
  const Outcome third = Feed(board, Program(64));
  EXPECT_EQ(third.hangUps, 1);
  // The acknowledgement goes out first.
  EXPECT_EQ(third.replies, std::vector<Bytes>{CHUNK_ACCEPTED});
  EXPECT_EQ(third.order.back(), Kind::HangUp);
}

TEST(BoardFault, MuteCarriesOutButNeverAnswers) {
  BoardFaults faults;
  faults.mute = true;
  BoardProtocol board(PowerOnState(), faults);
  Bytes session = WriteRequest(REG_A0, 0x11);
  for (const Bytes& part : {ChannelRequest(4), READ_REQUEST, StoreRequest(), DownloadRequest(2), Bytes{9, 9}}) {
    session.insert(session.end(), part.begin(), part.end());
  }
  const Outcome outcome = Feed(board, session);
  EXPECT_TRUE(outcome.replies.empty());
  EXPECT_EQ(outcome.stored.size(), 1u);
  EXPECT_EQ(outcome.programs, std::vector<Bytes>{(Bytes{9, 9})});
  BoardState expected = StateWith(SNAPSHOT_A0, 0x11);
  expected.bytes[SNAPSHOT_CHANNEL] = 4;
  EXPECT_EQ(board.state(), expected);
  EXPECT_TRUE(Logged(outcome, "# reply withheld (--mute): " + HexBytes(expected.bytes)));
}

}  // namespace
}  // namespace vorna::sim
