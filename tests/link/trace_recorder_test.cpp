#include "link/trace_recorder.h"

#include <gtest/gtest.h>

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

// Each call through the transport, failed ones included, has its line; a
// read that returned nothing has none; an unlabelled port is its device.
TEST(RecordingTransport, RecordsEachCallAsItsLine) {
  TempFolder folder;
  const std::string path = folder.File("trace.jsonl");
  TraceCreation created = TraceRecorder::Create(path, "vornactl 9");
  ASSERT_TRUE(created.recorder) << created.reason;
  const std::shared_ptr<TraceRecorder> recorder = std::move(created.recorder);
  auto board = std::make_unique<FakeBoard>();
  board->refusedDevices = {"/dev/x"};
  board->failingWrites = {2};
  board->script = {Step{{0x00, 0xFF}}, Step{{}}, Step{{}, true}, Step{{0x01}, false, true}};
  RecordingTransport com1(std::move(board), recorder, "COM1");
  RecordingTransport unlabelled(std::make_unique<FakeBoard>(), recorder, "");
  constexpr std::uint8_t REQUEST[] = {0xAA, 0x01, 0x02};
  std::uint8_t buffer[4] = {};

  EXPECT_FALSE(com1.Open("/dev/x"));
  EXPECT_TRUE(com1.Open("/dev/ttyACM2"));
  EXPECT_TRUE(com1.Write(REQUEST));
  EXPECT_FALSE(com1.Write({REQUEST, 1}));
  EXPECT_EQ(com1.Read(buffer), 2u);
  EXPECT_EQ(com1.Read(buffer), 0u);
  EXPECT_EQ(com1.Read(buffer), std::nullopt);
  EXPECT_EQ(com1.Read({buffer, 1}), 1u);
  EXPECT_FALSE(com1.ReplyEnded());
  com1.Close();
  EXPECT_TRUE(unlabelled.Open("/dev/pts/4"));
  recorder->Message("COM1", "Read error", "");
  EXPECT_EQ(
      RecordedLines(path),
      (Strings{
          R"("port":"COM1","event":"failure","step":"open","device":"/dev/x","reason":"open: no such device"})",
          R"("port":"COM1","event":"open","device":"/dev/ttyACM2"})",
          R"("port":"COM1","direction":"to board","bytes":"aa 01 02"})",
          R"("port":"COM1","direction":"to board","bytes":"aa"})",
          R"("port":"COM1","event":"failure","step":"write","reason":"write: input/output error"})",
          R"("port":"COM1","direction":"from board","bytes":"00 ff"})",
          R"("port":"COM1","event":"failure","step":"read","reason":"read: input/output error"})",
          R"("port":"COM1","direction":"from board","bytes":"01"})",
          R"("port":"COM1","event":"failure","step":"reply end","reason":"the board is still sending: more bytes followed the reply"})",
          R"("port":"COM1","event":"close"})", R"("port":"/dev/pts/4","event":"open","device":"/dev/pts/4"})",
          R"("port":"COM1","event":"message","text":"Read error","reason":""})"}));
}

struct EscapeRow {
  const char* name;
  std::string text;
  std::string json;
};
void PrintTo(const EscapeRow& row, std::ostream* os) { *os << row.name; }

class EscapeRows : public ::testing::TestWithParam<EscapeRow> {};

TEST_P(EscapeRows, GiveValidJson) { EXPECT_EQ(JsonEscaped(GetParam().text), GetParam().json); }

INSTANTIATE_TEST_SUITE_P(
    Texts, EscapeRows,
    ::testing::Values(EscapeRow{"QuotesAndBackslash", R"(say "hi" \)", R"(say \"hi\" \\)"},
                      EscapeRow{"Controls", "\n\x01\x1f\x7f", "\\u000a\\u0001\\u001f\x7f"},
                      EscapeRow{"Utf8Kept", "caf\xc3\xa9 \xf0\x9f\x93\xbb", "caf\xc3\xa9 \xf0\x9f\x93\xbb"},
                      // A lone byte, a cut sequence, an overlong "/", a
                      // surrogate, past U+10FFFF: each byte on its own.
                      EscapeRow{"NotUtf8", "\xff \xe2\x82 \xc0\xaf \xed\xa0\x80 \xf4\x90\x80\x80",
                                R"(\u00ff \u00e2\u0082 \u00c0\u00af \u00ed\u00a0\u0080 \u00f4\u0090\u0080\u0080)"}),
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
