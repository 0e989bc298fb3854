#include "link/trace_recorder.h"

#include <gtest/gtest.h>

#include <functional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "base/file_io.h"
#include "support/fake_board.h"
#include "support/temp_folder.h"

namespace vorna::test {
namespace {

using Step = FakeBoard::ReadStep;
using Strings = std::vector<std::string>;

// Every line but the start line begins with its time: {"time":1.234567,
const std::regex STAMP(R"(^\{"time":\d+\.\d{6},)");

// The trace's lines after the start line, without their times.
Strings RecordedLines(const std::string& path) {
  std::istringstream in(ReadWholeFile(path).value_or(""));
  Strings lines;
  std::string line;
  std::getline(in, line);
  while (std::getline(in, line)) {
    std::smatch stamp;
    EXPECT_TRUE(std::regex_search(line, stamp, STAMP)) << "no time: " << line;
    lines.push_back(stamp.suffix().str());
  }
  return lines;
}

constexpr std::uint8_t REQUEST[] = {0xAA, 0x01, 0x02};

struct RecordRow {
  const char* name;
  std::string port;  // the transport's label
  std::function<void(FakeBoard&)> prepare;
  std::function<void(RecordingTransport&, TraceRecorder&)> call;
  Strings lines;
};
void PrintTo(const RecordRow& row, std::ostream* os) { *os << row.name; }

std::optional<std::size_t> ReadInto(Transport& t, std::size_t asked) {
  std::uint8_t buffer[16] = {};
  return t.Read({buffer, asked});
}

class RecordRows : public ::testing::TestWithParam<RecordRow> {};

TEST_P(RecordRows, WriteTheirLines) {
  TempFolder folder;
  const std::string path = folder.File("trace.jsonl");
  TraceCreation created = TraceRecorder::Create(path, "vornactl 9");
  ASSERT_TRUE(created.recorder) << created.reason;
  auto board = std::make_unique<FakeBoard>();
  GetParam().prepare(*board);
  std::shared_ptr<TraceRecorder> recorder = std::move(created.recorder);
  RecordingTransport transport(std::move(board), recorder, GetParam().port);
  GetParam().call(transport, *recorder);
  EXPECT_EQ(RecordedLines(path), GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    Calls, RecordRows,
    ::testing::Values(
        RecordRow{"Open",
                  "COM3",
                  [](FakeBoard&) {},
                  [](RecordingTransport& t, TraceRecorder&) { EXPECT_TRUE(t.Open("/dev/ttyACM2")); },
                  {R"("port":"COM3","event":"open","device":"/dev/ttyACM2"})"}},
        RecordRow{"UnlabelledPortIsItsDevice",
                  "",
                  [](FakeBoard&) {},
                  [](RecordingTransport& t, TraceRecorder&) {
                    EXPECT_TRUE(t.Open("/dev/pts/4"));
                    t.Close();
                  },
                  {R"("port":"/dev/pts/4","event":"open","device":"/dev/pts/4"})",
                   R"("port":"/dev/pts/4","event":"close"})"}},
        RecordRow{
            "FailedOpen",
            "COM1",
            [](FakeBoard& b) { b.refusedDevices = {"/dev/x"}; },
            [](RecordingTransport& t, TraceRecorder&) { EXPECT_FALSE(t.Open("/dev/x")); },
            {R"("port":"COM1","event":"failure","step":"open","device":"/dev/x","reason":"open: no such device"})"}},
        RecordRow{"WritesAndFailedWrite",
                  "COM1",
                  [](FakeBoard& b) { b.failingWrites = {2}; },
                  [](RecordingTransport& t, TraceRecorder&) {
                    EXPECT_TRUE(t.Write(REQUEST));
                    EXPECT_FALSE(t.Write({REQUEST, 1}));
                  },
                  {R"("port":"COM1","direction":"to board","bytes":"aa 01 02"})",
                   R"("port":"COM1","direction":"to board","bytes":"aa"})",
                   R"("port":"COM1","event":"failure","step":"write","reason":"write: input/output error"})"}},
        RecordRow{"ReadsThatReturnedNothingAreLeftOut",
                  "COM1",
                  [](FakeBoard& b) {
                    b.script = {Step{{0x00, 0xFF}}, Step{{}}, Step{{}, true}};
                  },
                  [](RecordingTransport& t, TraceRecorder&) {
                    EXPECT_EQ(ReadInto(t, 4), 2u);
                    EXPECT_EQ(ReadInto(t, 4), 0u);
                    EXPECT_EQ(ReadInto(t, 4), std::nullopt);
                  },
                  {R"("port":"COM1","direction":"from board","bytes":"00 ff"})",
                   R"("port":"COM1","event":"failure","step":"read","reason":"read: input/output error"})"}},
        RecordRow{
            "ReplyThatDidNotEnd",
            "COM1",
            [](FakeBoard& b) {
              b.script = {Step{{0x01}, false, true}};
            },
            [](RecordingTransport& t, TraceRecorder&) {
              EXPECT_EQ(ReadInto(t, 1), 1u);
              EXPECT_FALSE(t.ReplyEnded());
            },
            {R"("port":"COM1","direction":"from board","bytes":"01"})",
             R"("port":"COM1","event":"failure","step":"reply end","reason":"the board is still sending: more bytes followed the reply"})"}},
        // Quotes, backslashes and controls escaped; valid UTF-8 kept; bytes
        // outside it (a lone ff, a cut sequence, an overlong slash, a
        // surrogate) each as \u00XX, so the line stays valid JSON.
        RecordRow{"MessagesEscaped",
                  "COM1",
                  [](FakeBoard&) {},
                  [](RecordingTransport&, TraceRecorder& r) {
                    r.Message("COM1", "say \"hi\" \\ \n\x01\x7f",
                              "caf\xc3\xa9 \xff \xe2\x82 \xc0\xaf \xed\xa0\x80 \xf0\x9f\x93\xbb");
                    r.Message("", "no port", "");
                  },
                  {R"("port":"COM1","event":"message","text":"say \"hi\" \\ \u000a\u0001)"
                   "\x7f"
                   R"(","reason":"café \u00ff \u00e2\u0082 \u00c0\u00af \u00ed\u00a0\u0080 📻"})",
                   R"("event":"message","text":"no port","reason":""})"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TraceRecorder, StartsAnEmptiedFileWithTheProgram) {
  TempFolder folder;
  const std::string path = folder.Write("trace.jsonl", "an older trace, longer than the new one\n");
  ASSERT_TRUE(TraceRecorder::Create(path, "vorna 1.2.3").recorder);
  EXPECT_EQ(ReadWholeFile(path), R"({"time":0.000000,"event":"start","program":"vorna 1.2.3"})"
                                 "\n");
}

TEST(TraceRecorder, FileThatCannotBeCreatedGivesTheReason) {
  TempFolder folder;
  const TraceCreation created = TraceRecorder::Create(folder.File("missing/trace.jsonl"), "vorna");
  EXPECT_FALSE(created.recorder);
  EXPECT_EQ(created.reason, std::generic_category().message(ENOENT));
}

}  // namespace
}  // namespace vorna::test
