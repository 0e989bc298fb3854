// The virtual board as a program, driven through its pseudo-terminal with
// plain reads and writes, the way a host sees it.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <random>

#include "link/protocol.h"
#include "model/transmitter_fields.h"
#include "support/board_sim.h"
#include "support/temp_folder.h"

namespace vorna::test {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

const Bytes READ_REQUEST = {PACKET_LEAD, 0x01, CMD_READ_REGISTERS};
const RegisterSnapshot POWER_ON = PowerOnSnapshot();
const Bytes POWER_ON_SNAPSHOT(POWER_ON.bytes.begin(), POWER_ON.bytes.end());
const Bytes STORE_REQUEST = {PACKET_LEAD, 0x01, CMD_STORE_DEFAULTS};
const Bytes ACCEPTED = {REPLY_ACCEPTED, 0x00};
const Bytes REFUSED = {0x01, 0x00};
const Bytes COMPLETE = {REPLY_COMPLETE, 0x00};

// Long enough for any reply of a healthy board; short enough that waiting
// for a reply that never comes keeps the tests quick.
constexpr auto NO_REPLY_WAIT = 300ms;

Bytes WriteRequest(std::uint8_t address, std::uint8_t value) {
  return {PACKET_LEAD, 0x03, CMD_WRITE_REGISTER, address, value};
}
Bytes ChannelRequest(std::uint8_t channel) { return {PACKET_LEAD, 0x02, CMD_SET_CHANNEL, channel}; }
Bytes DownloadRequest(std::size_t length) {
  return {PACKET_LEAD, 0x03, CMD_DOWNLOAD, static_cast<std::uint8_t>(length & 0xFF),
          static_cast<std::uint8_t>(length >> 8)};
}

Bytes RandomProgram(std::size_t length) {
  std::mt19937 random(8192);
  Bytes program(length);
  for (auto& byte : program) byte = static_cast<std::uint8_t>(random());
  return program;
}

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

bool ExitedCleanly(int status) { return WIFEXITED(status) && WEXITSTATUS(status) == 0; }

TEST(SimPty, NamesAnOpenableTerminal) {
  BoardSim sim;
  ASSERT_TRUE(sim.ok());
  EXPECT_TRUE(sim.device().starts_with("/dev/"));
  RawPort port(sim.device());
  ASSERT_TRUE(port.ok());
  EXPECT_TRUE(::isatty(port.fd()));
  EXPECT_TRUE(Contains(sim.logLines(), "# serving " + sim.device()));
}

TEST(SimPty, ReadRegistersGivesThePowerOnState) {
  BoardSim sim;
  ASSERT_TRUE(sim.ok());
  RawPort port(sim.device());
  EXPECT_EQ(port.Exchange(READ_REQUEST, 10), POWER_ON_SNAPSHOT);
}

TEST(SimPty, WritesAreEchoedAndReadBack) {
  BoardSim sim;
  ASSERT_TRUE(sim.ok());
  RawPort port(sim.device());
  EXPECT_EQ(port.Exchange(WriteRequest(REG_PREFIX, PREFIX_REGISTER_VALUE), 5),
            WriteRequest(REG_PREFIX, PREFIX_REGISTER_VALUE));
  EXPECT_EQ(port.Exchange(WriteRequest(REG_A0, 0xA1), 5), WriteRequest(REG_A0, 0xA1));
  EXPECT_EQ(port.Exchange(WriteRequest(REG_A2, 0x07), 5), WriteRequest(REG_A2, 0x07));
  EXPECT_EQ(port.Exchange(ChannelRequest(6), 4), ChannelRequest(6));
  EXPECT_EQ(port.Exchange(READ_REQUEST, 10), (Bytes{0xA1, 0xB4, 0x07, 0x58, 0x2A, 0x00, 0x1A, 0x00, 0x1B, 0x06}));
}

TEST(SimPty, LogHasOneLinePerRequestAndReplyInOrder) {
  BoardSim sim;
  ASSERT_TRUE(sim.ok());
  RawPort port(sim.device());
  port.Exchange(WriteRequest(REG_A0, 0x21), 5);
  port.Exchange(READ_REQUEST, 10);
  ASSERT_TRUE(sim.WaitForLogLine("-> 21 b4 06 58 2a 00 1a 00 1b 06"));
  std::vector<std::string> traffic;
  for (const auto& line : sim.logLines()) {
    if (!line.starts_with("#")) traffic.push_back(line);
  }
  EXPECT_EQ(traffic, (std::vector<std::string>{"<- aa 03 01 00 21", "-> aa 03 01 00 21", "<- aa 01 02",
                                               "-> 21 b4 06 58 2a 00 1a 00 1b 06"}));
}

TEST(SimPty, StoredDefaultsSurviveARestart) {
  BoardSim first;
  ASSERT_TRUE(first.ok());
  {
    RawPort port(first.device());
    port.Exchange(WriteRequest(REG_A0, 0xB1), 5);
    port.Exchange(ChannelRequest(205), 4);
    EXPECT_EQ(port.Exchange(STORE_REQUEST, 1), Bytes{0x00});
  }
  ASSERT_TRUE(first.WaitForLogLine("# defaults stored in " + first.statePath()));
  EXPECT_TRUE(ExitedCleanly(first.Stop()));

  BoardSim second(BoardSimSetup{{}, first.statePath(), {}, true});
  ASSERT_TRUE(second.ok());
  RawPort port(second.device());
  EXPECT_EQ(port.Exchange(READ_REQUEST, 10), (Bytes{0xB1, 0xB4, 0x06, 0x58, 0x2A, 0x00, 0x1A, 0x00, 0x1B, 0xCD}));
}

TEST(SimPty, ChangesWithoutStoreAreLostOnRestart) {
  BoardSim first;
  ASSERT_TRUE(first.ok());
  {
    RawPort port(first.device());
    port.Exchange(WriteRequest(REG_A0, 0xB1), 5);
  }
  first.Stop();
  EXPECT_FALSE(first.stateContents());
  BoardSim second(BoardSimSetup{{}, first.statePath(), {}, true});
  ASSERT_TRUE(second.ok());
  RawPort port(second.device());
  EXPECT_EQ(port.Exchange(READ_REQUEST, 10), POWER_ON_SNAPSHOT);
}

TEST(SimPty, MalformedStateFileStopsTheStart) {
  test::TempFolder folder;
  const std::string state = folder.File("state");
  std::ofstream(state) << "21 b4 06\n";
  const SimRun run = RunSimToEnd({"--state", state});
  EXPECT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 1) << run.status;
  EXPECT_EQ(run.out, "");
  EXPECT_NE(run.err.find(state + ": line 1: 3 bytes, expected 10"), std::string::npos) << run.err;
}

TEST(SimPty, FullDownloadWritesTheProgramByteForByte) {
  BoardSim sim;
  ASSERT_TRUE(sim.ok());
  RawPort port(sim.device());
  const Bytes program = RandomProgram(8192);
  ASSERT_EQ(port.Exchange(DownloadRequest(program.size()), 2), ACCEPTED);
  for (std::size_t sent = 0; sent < program.size(); sent += DOWNLOAD_CHUNK_SIZE) {
    const std::span<const std::uint8_t> chunk(program.data() + sent, DOWNLOAD_CHUNK_SIZE);
    const bool last = sent + DOWNLOAD_CHUNK_SIZE == program.size();
    Bytes expected = ACCEPTED;
    if (last) expected.insert(expected.end(), COMPLETE.begin(), COMPLETE.end());
    ASSERT_EQ(port.Exchange(chunk, expected.size()), expected) << "chunk at " << sent;
  }
  ASSERT_TRUE(sim.WaitForLogLine("# program written to " + sim.programPath()));
  EXPECT_EQ(sim.programContents(), program);
}

TEST(SimPty, DownloadOfAnOddLengthEndsWithAShortChunk) {
  BoardSim sim;
  ASSERT_TRUE(sim.ok());
  RawPort port(sim.device());
  const Bytes program = RandomProgram(80);
  ASSERT_EQ(port.Exchange(DownloadRequest(80), 2), ACCEPTED);
  EXPECT_EQ(port.Exchange(std::span(program.data(), 64), 2), ACCEPTED);
  EXPECT_EQ(port.Exchange(std::span(program.data() + 64, 16), 4), (Bytes{0x00, 0x00, 0xFF, 0x00}));
  ASSERT_TRUE(sim.WaitForLogLine("# program written to " + sim.programPath()));
  EXPECT_EQ(sim.programContents(), program);
}

// One request of a scenario and the reply it must get: `expected` empty
// means nothing may arrive.
struct Step {
  Bytes request;
  std::size_t replySize;
  Bytes expected;
};

struct FaultCase {
  const char* name;
  std::vector<std::string> args;
  std::vector<Step> steps;
  std::string logLine;  // a line the log must show afterwards
};
// Test names and failure messages show the case by its name.
void PrintTo(const FaultCase& c, std::ostream* out) { *out << c.name; }

class SimFault : public testing::TestWithParam<FaultCase> {};

TEST_P(SimFault, IsObservableOnTheLine) {
  const FaultCase& c = GetParam();
  BoardSim sim(c.args);
  ASSERT_TRUE(sim.ok());
  RawPort port(sim.device());
  for (std::size_t i = 0; i < c.steps.size(); ++i) {
    const Step& step = c.steps[i];
    const auto limit = step.expected.size() < step.replySize ? NO_REPLY_WAIT : 2000ms;
    EXPECT_EQ(port.Exchange(step.request, step.replySize, std::chrono::duration_cast<std::chrono::milliseconds>(limit)),
              step.expected)
        << "step " << i;
  }
  EXPECT_TRUE(sim.WaitForLogLine(c.logLine)) << c.logLine;
}

const Bytes CHUNK_64(64, 0x5A);
const Bytes CHUNK_16(16, 0x11);

INSTANTIATE_TEST_SUITE_P(
    Faults, SimFault,
    testing::Values(FaultCase{"CorruptEcho",
                              {"--corrupt-echo", "2"},
                              {{WriteRequest(REG_A0, 0x21), 5, WriteRequest(REG_A0, 0x21)},
                               {WriteRequest(REG_A2, 0x06), 5, WriteRequest(REG_A2, 0xF9)},
                               {WriteRequest(REG_A8, 0x1B), 5, WriteRequest(REG_A8, 0x1B)}},
                              "# fault: echo of register write 2 corrupted"},
                    FaultCase{"ShortRegisters",
                              {"--short-registers", "9"},
                              {{READ_REQUEST, 10, Bytes(POWER_ON_SNAPSHOT.begin(), POWER_ON_SNAPSHOT.begin() + 9)}},
                              "-> 21 b4 06 58 2a 00 1a 00 1b"},
                    FaultCase{"SilentSetChannel",
                              {"--silent", "0"},
                              {{ChannelRequest(9), 4, {}},
                               {READ_REQUEST, 10, {0x21, 0xB4, 0x06, 0x58, 0x2A, 0x00, 0x1A, 0x00, 0x1B, 0x09}}},
                              "# reply withheld (--silent 0): aa 02 00 09"},
                    FaultCase{"SilentWriteRegister",
                              {"--silent", "1"},
                              {{WriteRequest(REG_A0, 0x31), 5, {}}},
                              "# reply withheld (--silent 1): aa 03 01 00 31"},
                    FaultCase{"SilentReadRegisters",
                              {"--silent", "2"},
                              {{READ_REQUEST, 10, {}}, {ChannelRequest(1), 4, ChannelRequest(1)}},
                              "# reply withheld (--silent 2): 21 b4 06 58 2a 00 1a 00 1b 06"},
                    FaultCase{"SilentStoreDefaults",
                              {"--silent", "3"},
                              {{STORE_REQUEST, 1, {}}},
                              "# reply withheld (--silent 3): 00"},
                    FaultCase{"SilentDownload",
                              {"--silent", "4"},
                              {{DownloadRequest(64), 2, {}}},
                              "# reply withheld (--silent 4): 00 00"},
                    FaultCase{"SilentChunk",
                              {"--silent", "chunk"},
                              {{DownloadRequest(128), 2, ACCEPTED}, {CHUNK_64, 2, {}}},
                              "# reply withheld (--silent chunk): 00 00"},
                    FaultCase{"RefuseStart",
                              {"--refuse-start"},
                              {{DownloadRequest(64), 2, REFUSED}, {READ_REQUEST, 10, POWER_ON_SNAPSHOT}},
                              "# fault: download start refused"},
                    FaultCase{"RefuseChunk",
                              {"--refuse-chunk", "2"},
                              {{DownloadRequest(192), 2, ACCEPTED},
                               {CHUNK_64, 2, ACCEPTED},
                               {CHUNK_64, 2, REFUSED},
                               {READ_REQUEST, 10, POWER_ON_SNAPSHOT}},
                              "# fault: chunk 2 refused, download abandoned"},
                    FaultCase{"BadFinalAck",
                              {"--bad-final-ack"},
                              {{DownloadRequest(16), 2, ACCEPTED}, {CHUNK_16, 4, {0x00, 0x00, 0x00, 0x00}}},
                              "# fault: completion reply without the completion code"},
                    FaultCase{"Mute",
                              {"--mute"},
                              {{READ_REQUEST, 10, {}}, {WriteRequest(REG_A0, 0x31), 5, {}}},
                              "# reply withheld (--mute): aa 03 01 00 31"},
                    FaultCase{"UnknownCommandThenHealthy",
                              {},
                              {{{PACKET_LEAD, 0x01, 0x09}, 1, {}}, {READ_REQUEST, 10, POWER_ON_SNAPSHOT}},
                              "# unknown command 0x09: no reply"}),
    [](const testing::TestParamInfo<FaultCase>& info) { return std::string(info.param.name); });

TEST(SimPty, HangupAfterChunksUnplugsTheBoard) {
  BoardSim sim({"--hangup-after-chunks", "2"});
  ASSERT_TRUE(sim.ok());
  RawPort port(sim.device());
  ASSERT_EQ(port.Exchange(DownloadRequest(192), 2), ACCEPTED);
  EXPECT_EQ(port.Exchange(CHUNK_64, 2), ACCEPTED);
  EXPECT_EQ(port.Exchange(CHUNK_64, 2), ACCEPTED);
  const auto status = sim.WaitForExit(2000ms);
  ASSERT_TRUE(status) << "the board is still running";
  EXPECT_TRUE(ExitedCleanly(*status));
  // The device is gone: the next exchange gets nothing back.
  EXPECT_TRUE(port.Read(2, NO_REPLY_WAIT).empty());
  const auto lines = sim.logLines();
  EXPECT_TRUE(Contains(lines, "# fault: hanging up after 2 chunks"));
  EXPECT_TRUE(Contains(lines, "# hung up"));
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "-> 00 00"), 3);
}

TEST(SimPty, BabbleArrivesUnaskedAndBetweenCommands) {
  BoardSim sim({"--babble"});
  ASSERT_TRUE(sim.ok());
  RawPort port(sim.device());
  port.Discard();
  const Bytes unasked = port.Read(6, 1000ms);
  ASSERT_EQ(unasked.size(), 6u);
  for (const auto byte : unasked) {
    EXPECT_NE(byte, PACKET_LEAD);
    EXPECT_NE(byte, REPLY_ACCEPTED);
    EXPECT_NE(byte, REPLY_COMPLETE);
  }
  // Replies still come whole; babble keeps coming after them.
  port.Discard();
  const Bytes reply = port.Exchange(READ_REQUEST, 64, 500ms);
  const auto at = std::search(reply.begin(), reply.end(), POWER_ON_SNAPSHOT.begin(), POWER_ON_SNAPSHOT.end());
  ASSERT_NE(at, reply.end());
  EXPECT_GT(reply.end() - (at + static_cast<std::ptrdiff_t>(POWER_ON_SNAPSHOT.size())), 0);
}

TEST(SimPty, DripSpacesReplyBytes) {
  constexpr auto DRIP = 40ms;
  BoardSim sim({"--drip", "40"});
  ASSERT_TRUE(sim.ok());
  RawPort port(sim.device());
  const auto start = Clock::now();
  ASSERT_TRUE(port.Write(READ_REQUEST));
  // The first byte comes at once, each of the other nine a drip later.
  EXPECT_EQ(port.Read(10, 2000ms), POWER_ON_SNAPSHOT);
  EXPECT_GE(Clock::now() - start, 9 * DRIP);
}

TEST(SimPty, BaudRatePacesTheReply) {
  BoardSim sim({"--baud", "9600"});
  ASSERT_TRUE(sim.ok());
  RawPort port(sim.device());
  const auto start = Clock::now();
  EXPECT_EQ(port.Exchange(READ_REQUEST, 10), POWER_ON_SNAPSHOT);
  // The three request bytes cross the line before the board answers, then
  // the ten reply bytes: ten bits each.
  EXPECT_GE(Clock::now() - start, std::chrono::nanoseconds((3 + 10) * 10 * 1'000'000'000LL / 9600));
}

TEST(SimPty, ManySessionsInARow) {
  BoardSim sim;
  ASSERT_TRUE(sim.ok());
  for (int session = 0; session < 40; ++session) {
    RawPort port(sim.device());
    ASSERT_TRUE(port.ok());
    ASSERT_EQ(port.Exchange(ChannelRequest(static_cast<std::uint8_t>(session)), 4),
              ChannelRequest(static_cast<std::uint8_t>(session)))
        << "session " << session;
  }
  RawPort port(sim.device());
  EXPECT_EQ(port.Exchange(READ_REQUEST, 10).back(), 39);
}

TEST(SimPty, SilentHostInTheMiddleOfAFrameIsForgotten) {
  BoardSim sim;
  ASSERT_TRUE(sim.ok());
  {
    RawPort port(sim.device());
    ASSERT_TRUE(port.Write(Bytes{PACKET_LEAD, 0x03, CMD_WRITE_REGISTER}));
  }
  ASSERT_TRUE(sim.WaitForLogLine("# incomplete frame dropped: aa 03 01", 3000ms));
  RawPort port(sim.device());
  EXPECT_EQ(port.Exchange(READ_REQUEST, 10), POWER_ON_SNAPSHOT);
}

class StopSignal : public testing::TestWithParam<int> {};

TEST_P(StopSignal, EndsCleanly) {
  BoardSim sim;
  ASSERT_TRUE(sim.ok());
  EXPECT_TRUE(ExitedCleanly(sim.Stop(GetParam())));
  EXPECT_TRUE(Contains(sim.logLines(), GetParam() == SIGINT ? "# stopped by SIGINT" : "# stopped by SIGTERM"));
}

INSTANTIATE_TEST_SUITE_P(Signals, StopSignal, testing::Values(SIGINT, SIGTERM));

class SimAlias : public testing::Test {
 protected:
  std::string Alias(int number) const { return home_.File("vorna/ports/COM") + std::to_string(number); }
  BoardSimSetup Setup(int number) const { return {{"--com", std::to_string(number)}, {}, home_.path().string(), true}; }
  static std::string Target(const std::string& link) {
    std::error_code error;
    const auto target = std::filesystem::read_symlink(link, error);
    return error ? std::string() : target.string();
  }
  test::TempFolder home_;
};

TEST_F(SimAlias, CreatedForTheRunAndRemovedAfter) {
  BoardSim sim(Setup(7));
  ASSERT_TRUE(sim.ok());
  EXPECT_EQ(Target(Alias(7)), sim.device());
  RawPort port(Alias(7));
  EXPECT_EQ(port.Exchange(READ_REQUEST, 10), POWER_ON_SNAPSHOT);
  EXPECT_TRUE(ExitedCleanly(sim.Stop()));
  EXPECT_FALSE(std::filesystem::is_symlink(Alias(7)));
}

TEST_F(SimAlias, ReplacesAnOlderLink) {
  std::filesystem::create_directories(home_.path() / "vorna/ports");
  std::filesystem::create_symlink("/dev/nonexistent", Alias(3));
  BoardSim sim(Setup(3));
  ASSERT_TRUE(sim.ok());
  EXPECT_EQ(Target(Alias(3)), sim.device());
}

TEST_F(SimAlias, LeavesALinkThatWasTakenOver) {
  BoardSim sim(Setup(4));
  ASSERT_TRUE(sim.ok());
  std::filesystem::remove(Alias(4));
  std::filesystem::create_symlink("/dev/other", Alias(4));
  sim.Stop();
  EXPECT_EQ(Target(Alias(4)), "/dev/other");
}

TEST_F(SimAlias, RefusesToReplaceAFile) {
  std::filesystem::create_directories(home_.path() / "vorna/ports");
  std::ofstream(Alias(5)) << "keep me";
  const SimRun run = RunSimToEnd({"--com", "5"}, home_.path().string());
  EXPECT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 1) << run.status;
  EXPECT_NE(run.err.find(Alias(5) + " exists and is not a symbolic link: left alone"), std::string::npos) << run.err;
  std::ifstream kept(Alias(5));
  std::string content;
  std::getline(kept, content);
  EXPECT_EQ(content, "keep me");
}

struct UsageCase {
  const char* name;
  std::vector<std::string> args;
  std::string message;
};
// Test names and failure messages show the case by its name.
void PrintTo(const UsageCase& c, std::ostream* out) { *out << c.name; }

class SimUsage : public testing::TestWithParam<UsageCase> {};

TEST_P(SimUsage, BadUsageExitsWithTwo) {
  const SimRun run = RunSimToEnd(GetParam().args);
  EXPECT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 2) << run.status;
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "vorna-board-sim: " + GetParam().message + "\nTry 'vorna-board-sim --help'.\n");
}

INSTANTIATE_TEST_SUITE_P(
    Options, SimUsage,
    testing::Values(UsageCase{"Unknown", {"--frobnicate"}, "unknown option --frobnicate"},
                    UsageCase{"MissingValue", {"--log"}, "--log needs a value (FILE)"},
                    UsageCase{"BadNumber", {"--baud", "0"}, "--baud: \"0\" is not a whole number from 1 to 4000000"}),
    [](const testing::TestParamInfo<UsageCase>& info) { return std::string(info.param.name); });

TEST(SimPty, HelpListsTheOptionsAndExitsWithZero) {
  const SimRun run = RunSimToEnd({"--help"});
  EXPECT_TRUE(ExitedCleanly(run.status));
  EXPECT_TRUE(run.out.starts_with("Usage: vorna-board-sim [OPTION]...\n"));
  EXPECT_NE(run.out.find("--hangup-after-chunks N"), std::string::npos);
  EXPECT_EQ(run.err, "");
}

}  // namespace
}  // namespace vorna::test
