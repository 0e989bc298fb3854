#include "link/tracing_transport.h"

#include <gtest/gtest.h>

#include <functional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "support/comma_locale.h"
#include "support/fake_board.h"

namespace vorna::test {
namespace {

using Step = FakeBoard::ReadStep;
using Strings = std::vector<std::string>;

// Every line starts with its time since the tracer was made: "[      0.1 ms] ".
const std::regex STAMP(R"(^\[ {0,8}\d+\.\d ms\] )");

// The trace's lines without their time stamps; a line without one fails.
Strings TraceLines(const std::string& trace) {
  Strings lines;
  std::istringstream in(trace);
  for (std::string line; std::getline(in, line);) {
    std::smatch stamp;
    EXPECT_TRUE(std::regex_search(line, stamp, STAMP)) << "no time stamp: " << line;
    lines.push_back(stamp.empty() ? line : stamp.suffix().str());
  }
  return lines;
}

// One call through the tracer and the line it writes; the call's result
// must be what the board gave.
struct TraceRow {
  const char* name;
  std::function<void(FakeBoard&)> prepare;
  std::function<void(TracingTransport&, FakeBoard&)> call;
  std::string line;
};

void PrintTo(const TraceRow& row, std::ostream* os) { *os << row.name; }

constexpr std::uint8_t REQUEST[] = {0xAA, 0x01, 0x02};

void ExpectRead(TracingTransport& tracer, std::size_t asked, std::optional<std::size_t> expected) {
  std::uint8_t buffer[16] = {};
  EXPECT_EQ(tracer.Read({buffer, asked}), expected);
}

class TraceRows : public ::testing::TestWithParam<TraceRow> {};

TEST_P(TraceRows, WriteOneLineEach) {
  FakeBoard board;
  GetParam().prepare(board);
  std::ostringstream trace;
  TracingTransport tracer(board, trace);
  GetParam().call(tracer, board);
  EXPECT_EQ(TraceLines(trace.str()), Strings{GetParam().line});
}

INSTANTIATE_TEST_SUITE_P(
    Calls, TraceRows,
    ::testing::Values(TraceRow{"Open", [](FakeBoard&) {},
                               [](TracingTransport& t, FakeBoard&) { EXPECT_TRUE(t.Open("/dev/ttyUSB0")); },
                               "open /dev/ttyUSB0"},
                      TraceRow{"FailedOpen", [](FakeBoard& b) { b.refusedDevices = {"/dev/ttyUSB0"}; },
                               [](TracingTransport& t, FakeBoard&) {
                                 EXPECT_FALSE(t.Open("/dev/ttyUSB0"));
                                 EXPECT_EQ(t.LastError(), "open: no such device");
                               },
                               "open /dev/ttyUSB0 failed: open: no such device"},
                      TraceRow{"Write", [](FakeBoard&) {},
                               [](TracingTransport& t, FakeBoard& b) {
                                 EXPECT_TRUE(t.Write(REQUEST));
                                 EXPECT_EQ(b.writes, std::vector<Bytes>{Bytes(std::begin(REQUEST), std::end(REQUEST))});
                               },
                               "-> aa 01 02"},
                      TraceRow{"FailedWrite", [](FakeBoard& b) { b.failingWrites = {1}; },
                               [](TracingTransport& t, FakeBoard&) { EXPECT_FALSE(t.Write(REQUEST)); },
                               "-> aa 01 02  (write failed: write: input/output error)"},
                      TraceRow{"WholeRead",
                               [](FakeBoard& b) {
                                 b.script = {Step{{0x01, 0x02}}};
                               },
                               [](TracingTransport& t, FakeBoard&) { ExpectRead(t, 2, 2); }, "<- 01 02"},
                      TraceRow{"ShortRead",
                               [](FakeBoard& b) {
                                 b.script = {Step{{0x01, 0x02}}};
                               },
                               [](TracingTransport& t, FakeBoard&) { ExpectRead(t, 10, 2); },
                               "<- 01 02  (2 of 10 bytes)"},
                      TraceRow{"NothingRead", [](FakeBoard& b) { b.script = {Step{{}}}; },
                               [](TracingTransport& t, FakeBoard&) { ExpectRead(t, 10, 0); }, "<- (0 of 10 bytes)"},
                      TraceRow{"FailedRead",
                               [](FakeBoard& b) {
                                 b.script = {Step{{}, true}};
                               },
                               [](TracingTransport& t, FakeBoard&) { ExpectRead(t, 10, std::nullopt); },
                               "<- (read failed: read: input/output error)"},
                      TraceRow{"Close", [](FakeBoard&) {},
                               [](TracingTransport& t, FakeBoard& b) {
                                 t.Close();
                                 EXPECT_EQ(b.closeCount, 1);
                               },
                               "close"}),
    [](const auto& info) { return std::string(info.param.name); });

// A session that goes wrong: every call has its line, in order, and what
// follows a failure is still traced.
TEST(TracingTransport, FailuresAndWhatFollowsThemAreTracedInOrder) {
  FakeBoard board;
  board.refusedDevices = {"/dev/gone"};
  board.failingWrites = {1};
  board.script = {Step{{0x5A}}, Step{{}, true}};
  std::ostringstream trace;
  TracingTransport tracer(board, trace);
  EXPECT_FALSE(tracer.Open("/dev/gone"));
  EXPECT_TRUE(tracer.Open("/dev/ttyACM0"));
  EXPECT_FALSE(tracer.Write(REQUEST));
  EXPECT_TRUE(tracer.Write({REQUEST, 1}));
  ExpectRead(tracer, 3, 1);
  ExpectRead(tracer, 3, std::nullopt);
  tracer.Close();
  EXPECT_EQ(TraceLines(trace.str()),
            (Strings{"open /dev/gone failed: open: no such device", "open /dev/ttyACM0",
                     "-> aa 01 02  (write failed: write: input/output error)", "-> aa", "<- 5a  (1 of 3 bytes)",
                     "<- (read failed: read: input/output error)", "close"}));
}

// Under a desktop locale that writes a decimal comma the time stamp keeps
// its point.
using TracingUnderCommaLocale = CommaLocaleTest;

TEST_F(TracingUnderCommaLocale, TimeStampKeepsItsPoint) {
  FakeBoard board;
  std::ostringstream trace;
  TracingTransport tracer(board, trace);
  tracer.Close();
  EXPECT_TRUE(std::regex_search(trace.str(), STAMP)) << trace.str();
}

}  // namespace
}  // namespace vorna::test
