// The virtual board's command line, parsed without starting a board.

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "sim/sim_options.h"

namespace vorna::sim {
namespace {

OptionsParse Parse(const std::vector<std::string_view>& args) { return ParseSimOptions(args); }

struct ValidCase {
  const char* name;
  std::vector<std::string_view> args;
  std::function<bool(const SimOptions&)> holds;
};
// Test names and failure messages show the case by its name.
void PrintTo(const ValidCase& c, std::ostream* out) { *out << c.name; }

class ValidOptions : public testing::TestWithParam<ValidCase> {};

TEST_P(ValidOptions, AreStored) {
  const OptionsParse parse = Parse(GetParam().args);
  ASSERT_EQ(parse.error, "");
  EXPECT_FALSE(parse.help);
  EXPECT_TRUE(GetParam().holds(parse.options));
}

INSTANTIATE_TEST_SUITE_P(
    Options, ValidOptions,
    testing::Values(
        ValidCase{"None",
                  {},
                  [](const SimOptions& o) {
                    return o.statePath.empty() && !o.comPort && !o.baud && !o.dripMs && !o.babble && !o.faults.mute &&
                           !o.faults.corruptEcho;
                  }},
        ValidCase{"Files",
                  {"--state", "s", "--program-out", "p", "--log", "l"},
                  [](const SimOptions& o) { return o.statePath == "s" && o.programPath == "p" && o.logPath == "l"; }},
        ValidCase{"EqualsForm",
                  {"--state=a=b", "--baud=9600"},
                  [](const SimOptions& o) { return o.statePath == "a=b" && o.baud == 9600u; }},
        ValidCase{"Com", {"--com", "7"}, [](const SimOptions& o) { return o.comPort == 7; }},
        ValidCase{
            "CorruptEcho", {"--corrupt-echo", "3"}, [](const SimOptions& o) { return o.faults.corruptEcho == 3u; }},
        ValidCase{"ShortRegistersLowest",
                  {"--short-registers", "0"},
                  [](const SimOptions& o) { return o.faults.shortRegisters == 0u; }},
        ValidCase{"ShortRegistersHighest",
                  {"--short-registers", "9"},
                  [](const SimOptions& o) { return o.faults.shortRegisters == 9u; }},
        ValidCase{"SilentRepeated",
                  {"--silent", "0", "--silent", "4", "--silent", "chunk"},
                  [](const SimOptions& o) {
                    return o.faults.silent[0] && !o.faults.silent[1] && !o.faults.silent[2] && !o.faults.silent[3] &&
                           o.faults.silent[4] && o.faults.silentChunk;
                  }},
        ValidCase{"Flags",
                  {"--refuse-start", "--bad-final-ack", "--babble", "--mute"},
                  [](const SimOptions& o) {
                    return o.faults.refuseStart && o.faults.badFinalAck && o.babble && o.faults.mute;
                  }},
        ValidCase{"RefuseChunkLast",
                  {"--refuse-chunk", "128"},
                  [](const SimOptions& o) { return o.faults.refuseChunk == 128u; }},
        ValidCase{"Hangup",
                  {"--hangup-after-chunks", "2"},
                  [](const SimOptions& o) { return o.faults.hangupAfterChunks == 2u; }},
        ValidCase{"Drip", {"--drip", "400"}, [](const SimOptions& o) { return o.dripMs == 400u; }},
        ValidCase{
            "Replay",
            {"--replay", "t.jsonl", "--replay-port", "COM2", "--replay-timing"},
            [](const SimOptions& o) { return o.replayPath == "t.jsonl" && o.replayPort == "COM2" && o.replayTiming; }}),
    [](const testing::TestParamInfo<ValidCase>& info) { return std::string(info.param.name); });

struct InvalidCase {
  const char* name;
  std::vector<std::string_view> args;
  std::string error;
};
// Test names and failure messages show the case by its name.
void PrintTo(const InvalidCase& c, std::ostream* out) { *out << c.name; }

class InvalidOptions : public testing::TestWithParam<InvalidCase> {};

TEST_P(InvalidOptions, AreRejectedWithAReason) { EXPECT_EQ(Parse(GetParam().args).error, GetParam().error); }

INSTANTIATE_TEST_SUITE_P(
    Options, InvalidOptions,
    testing::Values(
        InvalidCase{"Unknown", {"--bogus"}, "unknown option --bogus"},
        InvalidCase{"Positional", {"COM1"}, "unknown option COM1"},
        InvalidCase{"MissingValue", {"--state"}, "--state needs a value (FILE)"},
        InvalidCase{"FlagWithValue", {"--mute=1"}, "--mute takes no value"},
        InvalidCase{"ComZero", {"--com", "0"}, "--com: \"0\" is not a whole number from 1 to 2147483647"},
        InvalidCase{"ComNegative", {"--com", "-3"}, "--com: \"-3\" is not a whole number from 1 to 2147483647"},
        InvalidCase{"BaudText", {"--baud", "fast"}, "--baud: \"fast\" is not a whole number from 1 to 4000000"},
        InvalidCase{"BaudTrailing", {"--baud", "9600x"}, "--baud: \"9600x\" is not a whole number from 1 to 4000000"},
        InvalidCase{"ShortRegistersTen",
                    {"--short-registers", "10"},
                    "--short-registers: \"10\" is not a whole number from 0 to 9"},
        InvalidCase{
            "SilentFive", {"--silent", "5"}, "--silent: \"5\" is neither a command code from 0 to 4 nor \"chunk\""},
        InvalidCase{"RefuseChunkPastEnd",
                    {"--refuse-chunk", "129"},
                    "--refuse-chunk: \"129\" is not a whole number from 1 to 128"},
        InvalidCase{"HangupZero",
                    {"--hangup-after-chunks", "0"},
                    "--hangup-after-chunks: \"0\" is not a whole number from 1 to 4294967295"},
        InvalidCase{"DripEmpty", {"--drip="}, "--drip: \"\" is not a whole number from 1 to 60000"},
        InvalidCase{
            "ReplayTimingWithoutReplay", {"--replay-timing"}, "--replay-port and --replay-timing need --replay FILE"}),
    [](const testing::TestParamInfo<InvalidCase>& info) { return std::string(info.param.name); });

TEST(SimOptions, HelpIsRecognisedAnywhere) {
  EXPECT_TRUE(Parse({"--mute", "--help"}).help);
  EXPECT_TRUE(Parse({"-h"}).help);
}

TEST(SimOptions, UsageDescribesEveryOption) {
  const std::string usage = UsageText("vorna-board-sim");
  for (const char* option : {"--state FILE", "--program-out FILE", "--log FILE", "--com N", "--baud B",
                             "--corrupt-echo N", "--short-registers K", "--silent CMD", "--refuse-start",
                             "--refuse-chunk N", "--bad-final-ack", "--hangup-after-chunks N", "--babble", "--drip MS",
                             "--mute", "--replay FILE", "--replay-port PORT", "--replay-timing", "--help"}) {
    EXPECT_NE(usage.find(option), std::string::npos) << option;
  }
}

}  // namespace
}  // namespace vorna::sim
