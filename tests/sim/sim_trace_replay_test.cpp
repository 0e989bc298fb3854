// A recorded trace turned into the exchanges the virtual board replays, and
// the replay's view of what the host sends.

#include "sim/trace_replay.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "base/hex_text.h"

namespace vorna::sim {
namespace {

using Strings = std::vector<std::string>;

const std::string START = R"({"time":0.000000,"event":"start","program":"vornactl 9"})"
                          "\n";

// "aa 01 02 -> 21 b4 @4000 | 06 @10000, hang-up @12000": an exchange with
// each reply chunk's delay in microseconds.
Strings Summary(const std::vector<ReplayExchange>& exchanges) {
  Strings lines;
  for (const auto& exchange : exchanges) {
    std::string line = HexBytes(exchange.request) + " ->";
    for (const auto& chunk : exchange.reply)
      line += (line.back() == '>' ? " " : " | ") + HexBytes(chunk.bytes) + " @" + std::to_string(chunk.delay.count());
    if (exchange.hangUpAfter) line += ", hang-up @" + std::to_string(exchange.hangUpAfter->count());
    lines.push_back(line);
  }
  return lines;
}

struct ParseRow {
  const char* name;
  std::string text;
  std::string port;  // --replay-port
  Strings exchanges;
  std::string error;
};
void PrintTo(const ParseRow& row, std::ostream* os) { *os << row.name; }

class ParseRows : public ::testing::TestWithParam<ParseRow> {};

TEST_P(ParseRows, GiveExchangesOrTheLineAtFault) {
  const TraceParse parse = ParseTrace(GetParam().text, "t.jsonl", GetParam().port);
  EXPECT_EQ(parse.error, GetParam().error);
  EXPECT_EQ(Summary(parse.exchanges), GetParam().exchanges);
}

// Two ports' sessions, interleaved as two threads would record them.
const std::string TWO_PORTS = START + R"({"time":0.1,"port":"COM1","event":"open","device":"/dev/ttyACM0"}
{"time":0.2,"port":"COM2","event":"open","device":"/dev/ttyUSB0"}
{"time":0.3,"port":"COM1","direction":"to board","bytes":"aa 01 02"}
{"time":0.4,"port":"COM2","direction":"to board","bytes":"aa 01 03"}
{"time":0.5,"port":"COM1","direction":"from board","bytes":"01"}
{"time":0.6,"port":"COM2","direction":"from board","bytes":"00"}
)";

INSTANTIATE_TEST_SUITE_P(
    Traces, ParseRows,
    ::testing::Values(
        ParseRow{"RepliesUntilTheNextRequest",
                 START + R"({"time":0.001,"port":"COM3","event":"open","device":"/dev/ttyACM2"}
{"time":0.002,"port":"COM3","direction":"from board","bytes":"5a"}
{"time":0.003,"port":"COM3","direction":"to board","bytes":"aa 01 02"}
{"time":0.007,"port":"COM3","direction":"from board","bytes":"21 b4"}
{"time":0.013,"port":"COM3","event":"message","text":"Read error","reason":""}
{"time":0.013,"port":"COM3","direction":"from board","bytes":"06"}
{"time":1.5,"port":"COM3","direction":"to board","bytes":"aa 02"}
{"time":1.6,"port":"COM3","direction":"to board","bytes":"00 1a"}
{"time":1.7,"port":"COM3","event":"close"}
)",
                 "",
                 {"aa 01 02 -> 21 b4 @4000 | 06 @10000", "aa 02 00 1a ->"},
                 ""},
        ParseRow{"ReadFailureIsAHangUp",
                 START + R"({"time":1,"port":"COM1","direction":"to board","bytes":"aa 01 03"}
{"time":1.25,"port":"COM1","event":"failure","step":"read","reason":"read: input/output error"}
{"time":1.5,"port":"COM1","direction":"to board","bytes":"aa 01 03"}
)",
                 "",
                 {"aa 01 03 ->, hang-up @250000", "aa 01 03 ->"},
                 ""},
        ParseRow{"PortByLabel", TWO_PORTS, "COM2", {"aa 01 03 -> 00 @200000"}, ""},
        ParseRow{"PortByDevice", TWO_PORTS, "/dev/ttyACM0", {"aa 01 02 -> 01 @200000"}, ""},
        ParseRow{"SeveralPortsNoneNamed",
                 TWO_PORTS,
                 "",
                 {},
                 "t.jsonl: the trace holds several ports (COM1, COM2): choose one with --replay-port"},
        ParseRow{"PortNotInTrace", TWO_PORTS, "COM5", {}, "t.jsonl: no port COM5 in the trace (it holds COM1, COM2)"},
        ParseRow{"NoPort", START, "", {}, "t.jsonl: the trace holds no port"},
        ParseRow{"Empty", "", "", {}, "t.jsonl: not a trace: empty"},
        ParseRow{"NoStartLine",
                 R"({"time":0,"port":"COM1","event":"open","device":"/dev/x"})",
                 "",
                 {},
                 "t.jsonl:1: not a trace: no start record"},
        ParseRow{"NotJson", START + "{\"time\":0.1,\n", "", {}, "t.jsonl:2: not a JSON object"},
        ParseRow{"NoTime",
                 START + R"({"port":"COM1","event":"close"})",
                 "",
                 {},
                 "t.jsonl:2: no \"time\" in seconds since the start"},
        ParseRow{"BadBytes",
                 START + R"({"time":1,"port":"COM1","direction":"to board","bytes":"aa 1"})",
                 "",
                 {},
                 "t.jsonl:2: bytes \"aa 1\" are not hex pairs separated by spaces"},
        ParseRow{"BytesRunTogether",
                 START + R"({"time":1,"port":"COM1","direction":"to board","bytes":"aa01"})",
                 "",
                 {},
                 "t.jsonl:2: bytes \"aa01\" are not hex pairs separated by spaces"},
        ParseRow{"BadDirection",
                 START + R"({"time":1,"port":"COM1","direction":"sideways","bytes":"aa"})",
                 "",
                 {},
                 "t.jsonl:2: direction \"sideways\" is neither \"to board\" nor \"from board\""},
        ParseRow{"BytesWithoutPort",
                 START + R"({"time":1,"direction":"to board","bytes":"aa"})",
                 "",
                 {},
                 "t.jsonl:2: bytes without a port"},
        ParseRow{"NeitherEventNorBytes",
                 START + R"({"time":1,"port":"COM1"})",
                 "",
                 {},
                 "t.jsonl:2: neither an event nor bytes"}),
    [](const auto& info) { return std::string(info.param.name); });

// The host's bytes arrive in pieces; a request that differs is dropped
// whole and the same exchange is expected again.
TEST(TraceReplay, DifferingRequestIsDroppedAndTheExchangeStays) {
  TraceReplay replay({{{0xAA, 0x01, 0x02}, {{{}, {0x06}}}, {}}});
  for (const std::uint8_t byte : {0xAA, 0x01}) EXPECT_EQ(replay.Take(byte), nullptr);
  EXPECT_FALSE(replay.Differs());
  for (const std::uint8_t byte : {0x03, 0x04}) EXPECT_EQ(replay.Take(byte), nullptr);
  EXPECT_TRUE(replay.Differs());
  EXPECT_EQ(replay.DropDiffering(), "# replay: expected aa 01 02, received aa 01 03 04");
  for (const std::uint8_t byte : {0xAA, 0x01}) EXPECT_EQ(replay.Take(byte), nullptr);
  const ReplayExchange* answered = replay.Take(0x02);
  ASSERT_NE(answered, nullptr);
  EXPECT_EQ(answered->reply.front().bytes, std::vector<std::uint8_t>{0x06});
  EXPECT_EQ(replay.Take(0xAA), nullptr);
  EXPECT_TRUE(replay.Differs());
  EXPECT_EQ(replay.DropDiffering(), "# replay: the trace has ended, received aa");
}

}  // namespace
}  // namespace vorna::sim
