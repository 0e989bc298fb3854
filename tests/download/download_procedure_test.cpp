#include "download/download_procedure.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>

#include "support/fake_board.h"
#include "support/hex_records.h"
#include "support/recording_sink.h"

namespace vorna::test {
namespace {

using Strings = std::vector<std::string>;
namespace fs = std::filesystem;

// One Intel HEX data record line for `bytes` at `address` (below 64 KiB).
std::string DataRecord(std::uint16_t address, const Bytes& bytes) { return IntelData(address, bytes) + "\n"; }
const std::string END = ":00000001FF\n";

// What a download ended with, in the order a front end shows it: the
// failure's reason, then the status text behind `statusPrefix`.
void AddEvents(Strings& events, const DownloadResult& result, const std::string& statusPrefix = "status: ") {
  if (!result.failureReason.empty()) events.push_back("reason: " + result.failureReason);
  events.push_back(statusPrefix + DownloadStatusText(result));
}

Bytes Pattern(std::size_t count, std::uint8_t seed) {
  Bytes bytes(count);
  for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<std::uint8_t>(seed + i * 7);
  return bytes;
}

struct DownloadFixture : ::testing::Test {
  FakeBoard board;
  RecordingSink sink;
  DeviceLink link{board, sink, [](int n) { return PortLookup{"/dev/test" + std::to_string(n), {}}; }};
  std::vector<std::string> statuses;
  std::vector<std::string> reasons;
  fs::path file = fs::temp_directory_path() / ("vorna-download-" + std::to_string(::getpid()) + ".hex");

  void TearDown() override { fs::remove(file); }

  void WriteFile(const std::string& text) { std::ofstream(file, std::ios::binary) << text; }

  DownloadOutcome Run(const std::string& path, const ProblemApproval& approve = {}) {
    const DownloadResult result = RunDownload(path, link, PortChoice{1, {}}, sink, {}, {}, {}, approve);
    if (!result.failureReason.empty()) reasons.push_back(result.failureReason);
    statuses.push_back(DownloadStatusText(result));
    return result.outcome;
  }
  // The chunks as written after the start packet.
  std::vector<Bytes> Chunks() const {
    return board.writes.size() > 1 ? std::vector<Bytes>(board.writes.begin() + 1, board.writes.end())
                                   : std::vector<Bytes>{};
  }
};

struct LengthRow {
  std::uint32_t lastDataAddress;
  std::uint16_t length;
  std::vector<std::size_t> chunkSizes;
};

struct ChunkingRows : DownloadFixture, ::testing::WithParamInterface<LengthRow> {};

TEST_P(ChunkingRows, WindowGoesOutInChunksOfAtMost64WithIsLastOnTheFinalOne) {
  const auto& row = GetParam();
  std::string text;
  for (std::uint32_t a = USER_PROGRAM_START; a <= row.lastDataAddress; a += 16) {
    const auto count = std::min<std::uint32_t>(16, row.lastDataAddress - a + 1);
    text += DataRecord(static_cast<std::uint16_t>(a), Pattern(count, static_cast<std::uint8_t>(a >> 4)));
  }
  WriteFile(text + ":00000001FF\n");
  ASSERT_EQ(Run(file.string()), DownloadOutcome::Success);
  EXPECT_EQ(statuses, Strings{"Download success"});
  EXPECT_TRUE(sink.entries.empty());
  ASSERT_FALSE(board.writes.empty());
  EXPECT_EQ(board.writes[0], (Bytes{0xAA, 0x03, 0x04, static_cast<std::uint8_t>(row.length & 0xFF),
                                    static_cast<std::uint8_t>(row.length >> 8)}));
  std::vector<std::size_t> sizes;
  for (const auto& c : Chunks()) sizes.push_back(c.size());
  EXPECT_EQ(sizes, row.chunkSizes);
  // The fake board sends the completion reply only after the last chunk; a
  // success therefore shows isLast was set on exactly that one.
  EXPECT_EQ(board.program.size(), row.length);
  EXPECT_FALSE(board.IsOpen());
}

INSTANTIATE_TEST_SUITE_P(Lengths, ChunkingRows,
                         ::testing::Values(LengthRow{0x200F, 16, {16}}, LengthRow{0x204F, 80, {64, 16}},
                                           LengthRow{0x207F, 128, {64, 64}},
                                           LengthRow{0x3FFF, 8192, std::vector<std::size_t>(128, 64)}));

TEST_F(DownloadFixture, GapBytesGoOutAsFFAndDataBelowTheWindowIsLeftOut) {
  const Bytes below = Pattern(16, 0x10);
  const Bytes window = Pattern(16, 0x80);
  WriteFile(DataRecord(0x1000, below) + DataRecord(0x2000, window) + DataRecord(0x2040, {0x42}) + END);
  ASSERT_EQ(Run(file.string(), [](const Strings&) { return true; }), DownloadOutcome::Success);
  Bytes expected(80, 0xFF);
  std::copy(window.begin(), window.end(), expected.begin());
  expected[0x40] = 0x42;
  EXPECT_EQ(board.program, expected);
}

TEST_F(DownloadFixture, ImagesOutsideTheWindowAreInvalidAndThePortStaysClosed) {
  const std::pair<std::string, std::string> files[] = {
      {DataRecord(0x1FF0, Pattern(16, 1)), "no data at 0x2000\u20130x3FFF; the file's data lies at 0x1FF0\u20130x1FFF"},
      {":00000001FF\n", "no data at 0x2000\u20130x3FFF; the file holds no data"},
      {DataRecord(0x2000, Pattern(16, 1)) + DataRecord(0x4000, {0x01}),
       "data beyond 0x3FFF; the file's data lies at 0x2000\u20130x4000"},
      {":020000040001F9\n" + DataRecord(0x0000, {0x01}), "data beyond 0x3FFF; the file's data lies at 0x10000"},
  };
  for (const auto& [text, reason] : files) {
    statuses.clear();
    reasons.clear();
    WriteFile(text);
    EXPECT_EQ(Run(file.string()), DownloadOutcome::HexInvalid) << text;
    EXPECT_EQ(statuses, Strings{"Hex file is invalid"});
    EXPECT_EQ(reasons, Strings{reason});
  }
  EXPECT_TRUE(board.opened.empty());
  EXPECT_TRUE(board.writes.empty());
  EXPECT_TRUE(sink.entries.empty());
}

TEST_F(DownloadFixture, ReaderFailuresShowTheirMessageThenInvalid) {
  const std::pair<std::string, std::string> rows[] = {{"", "select hex file."},
                                                      {"/nonexistent/prog.hex", "file open error."}};
  for (const auto& [path, message] : rows) {
    sink.entries.clear();
    statuses.clear();
    EXPECT_EQ(Run(path), DownloadOutcome::HexInvalid);
    EXPECT_EQ(sink.Texts(), Strings{message});
    EXPECT_EQ(statuses, Strings{"Hex file is invalid"});
  }
  EXPECT_TRUE(board.opened.empty());
}

TEST_F(DownloadFixture, PortThatCannotBeOpenedLeavesAnEmptyStatus) {
  WriteFile(DataRecord(0x2000, Pattern(16, 1)) + END);
  board.refusedDevices = {"/dev/test1"};
  EXPECT_EQ(Run(file.string()), DownloadOutcome::PortNotOpened);
  EXPECT_EQ(sink.Texts(), Strings{"Can not open COM1"});
  EXPECT_EQ(statuses, Strings{""});
  EXPECT_TRUE(board.writes.empty());
}

TEST_F(DownloadFixture, RefusedStartClosesThePortAndSendsNoChunk) {
  WriteFile(DataRecord(0x2000, Pattern(16, 1)) + END);
  board.faults.refuseStart = true;
  EXPECT_EQ(Run(file.string()), DownloadOutcome::Failure);
  EXPECT_EQ(statuses, Strings{"Download failure"});
  EXPECT_EQ(board.writes.size(), 1u);
  EXPECT_FALSE(board.IsOpen());
  EXPECT_TRUE(sink.entries.empty());
}

TEST_F(DownloadFixture, ChunkRefusedHalfWayStopsWithoutRetry) {
  std::string text;
  for (std::uint16_t a = 0x2000; a < 0x2100; a += 16) text += DataRecord(a, Pattern(16, 3));
  WriteFile(text + END);
  board.faults.refuseChunk = 2;
  EXPECT_EQ(Run(file.string()), DownloadOutcome::Failure);
  EXPECT_EQ(statuses, Strings{"Download failure"});
  EXPECT_EQ(Chunks().size(), 2u) << "no chunk after the refused one, and no retry";
  EXPECT_FALSE(board.IsOpen());
  EXPECT_EQ(board.closeCount, 1);
}

TEST_F(DownloadFixture, WrongCompletionReplyIsAFailure) {
  WriteFile(DataRecord(0x2000, Pattern(16, 1)) + END);
  board.faults.badFinalAck = true;
  EXPECT_EQ(Run(file.string()), DownloadOutcome::Failure);
  EXPECT_EQ(statuses, Strings{"Download failure"});
}

TEST_F(DownloadFixture, ProgressCountsAcceptedBytes) {
  std::string text;
  for (std::uint16_t a = 0x2000; a < 0x2050; a += 16) text += DataRecord(a, Pattern(16, 3));
  WriteFile(text + END);
  std::vector<std::pair<std::size_t, std::size_t>> progress;
  RunDownload(file.string(), link, PortChoice{}, sink, [&](std::size_t s, std::size_t t) {
    EXPECT_TRUE(board.IsOpen());
    progress.emplace_back(s, t);
  });
  EXPECT_EQ(progress, (std::vector<std::pair<std::size_t, std::size_t>>{{64, 80}, {80, 80}}));
}

// A file whose lines end in CR alone: the Part's result, and the reader's
// warning handed out before the status, once. Files with LF ends give none.
TEST_F(DownloadFixture, CrOnlyFileWarnsBeforeTheStatus) {
  std::string text = DataRecord(0x2000, Pattern(16, 1)) + DataRecord(0x2010, Pattern(16, 2)) + ":00000001FF\n";
  for (char& c : text) c = c == '\n' ? '\r' : c;
  WriteFile(text);
  Strings events;
  const auto result = RunDownload(
      file.string(), link, PortChoice{1, {}}, sink, {},
      [&](const std::string& w) { events.push_back("warning: " + w); }, {}, [](const Strings&) { return true; });
  AddEvents(events, result);
  EXPECT_EQ(result.outcome, DownloadOutcome::Success);
  EXPECT_EQ(events, (Strings{"warning: the hex file has no LF line ends (its lines end in CR alone); 1 record was read",
                             "status: Download success"}));
  EXPECT_EQ(Chunks(), (std::vector<Bytes>{Pattern(16, 1)})) << "16 of the 32 bytes, as the Part has it";

  events.clear();
  WriteFile(DataRecord(0x2000, Pattern(16, 1)) + ":00000001FF\r\n");
  AddEvents(events, RunDownload(file.string(), link, PortChoice{1, {}}, sink, {},
                                [&](const std::string& w) { events.push_back("warning: " + w); }));
  EXPECT_EQ(events, Strings{"status: Download success"});
}

// Why a download failed comes once, before the status, and only for a
// failure: never for a success, an invalid file or a port that did not open.
struct ReasonRow {
  const char* name;
  std::optional<unsigned> refuseChunk;
  bool refuseStart;
  bool portRefused;
  bool belowWindow;
  Strings events;
};

void PrintTo(const ReasonRow& row, std::ostream* os) { *os << row.name; }

struct FailureReasonRows : DownloadFixture, ::testing::WithParamInterface<ReasonRow> {};

TEST_P(FailureReasonRows, ComeOnlyWithAFailureBeforeTheStatus) {
  const ReasonRow& row = GetParam();
  std::string text;
  // 0x2000 to 0x20FF: four chunks.
  for (std::uint16_t a = 0x2000; a < 0x2100; a += 16)
    text += DataRecord(static_cast<std::uint16_t>(row.belowWindow ? a - 0x1000 : a), Pattern(16, 3));
  WriteFile(text + END);
  board.faults.refuseChunk = row.refuseChunk;
  board.faults.refuseStart = row.refuseStart;
  if (row.portRefused) board.refusedDevices = {"/dev/test1"};
  Strings events;
  AddEvents(events, RunDownload(file.string(), link, PortChoice{1, {}}, sink));
  EXPECT_EQ(events, row.events);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, FailureReasonRows,
    ::testing::Values(ReasonRow{"second_chunk_refused",
                                2,
                                false,
                                false,
                                false,
                                {"reason: chunk 2 of 4: acknowledgement: the board answered 01 00 (hex), not 00",
                                 "status: Download failure"}},
                      ReasonRow{"last_chunk_refused",
                                4,
                                false,
                                false,
                                false,
                                {"reason: chunk 4 of 4: acknowledgement: the board answered 01 00 (hex), not 00",
                                 "status: Download failure"}},
                      ReasonRow{"start_refused",
                                std::nullopt,
                                true,
                                false,
                                false,
                                {"reason: start: the board answered 01 00 (hex), not 00", "status: Download failure"}},
                      ReasonRow{"success", std::nullopt, false, false, false, {"status: Download success"}},
                      ReasonRow{"port_not_opened", std::nullopt, false, true, false, {"status: "}},
                      ReasonRow{"below_window",
                                std::nullopt,
                                false,
                                false,
                                true,
                                {"reason: no data at 0x2000\u20130x3FFF; the file's data lies at 0x1000\u20130x10FF",
                                 "status: Hex file is invalid"}}),
    [](const auto& info) { return std::string(info.param.name); });

// A file the content check finds fault with goes out only when approved,
// asked with the problems before the port opens; unasked, it stays.
TEST_F(DownloadFixture, ProblemsAreSentOnlyWhenApproved) {
  WriteFile(DataRecord(0x2000, Pattern(16, 1)));
  EXPECT_EQ(Run(file.string()), DownloadOutcome::Cancelled);
  for (const bool yes : {false, true}) {
    Strings asked;
    const DownloadOutcome result = Run(file.string(), [&](const Strings& problems) {
      EXPECT_FALSE(board.IsOpen());
      asked = problems;
      return yes;
    });
    EXPECT_EQ(asked, Strings{"line 1: the file ends without an end record"});
    EXPECT_EQ(result, yes ? DownloadOutcome::Success : DownloadOutcome::Cancelled);
  }
  EXPECT_EQ(statuses, (Strings{"Download cancelled", "Download cancelled", "Download success"}));
  EXPECT_EQ(board.opened.size(), 1u);
  EXPECT_TRUE(reasons.empty());
}

// A stop asked for once the board has seen `stopAtWrites` writes: the
// transfer ends at the next check, never inside a chunk, with nothing more
// written, the port closed and the status saying how far it came. A write
// that fails while the stop is up (a transport giving up on a signal) ends
// it the same way.
struct StopRow {
  const char* name;
  std::size_t stopAtWrites;
  int failingWrite;  // 0: none
  std::string status;
};

std::string StoppedAfter(const std::string& sent) {
  return "Download stopped after " + sent + " of 256 bytes; the board holds an incomplete program";
}

void PrintTo(const StopRow& row, std::ostream* os) { *os << row.name; }

struct StopRows : DownloadFixture, ::testing::WithParamInterface<StopRow> {};

TEST_P(StopRows, EndBetweenChunksWithHowFarItCame) {
  const StopRow& row = GetParam();
  std::string text;
  for (std::uint16_t a = 0x2000; a < 0x2100; a += 16) text += DataRecord(a, Pattern(16, 3));  // four chunks
  WriteFile(text + END);
  board.failingWrites = {row.failingWrite};
  Strings events;
  AddEvents(events,
            RunDownload(file.string(), link, PortChoice{1, {}}, sink, {}, {},
                        [&] { return board.writes.size() >= row.stopAtWrites; }),
            "");
  EXPECT_EQ(events, Strings{row.status});
  EXPECT_EQ(board.writes.size(), row.stopAtWrites);
  EXPECT_EQ(board.closeCount, static_cast<int>(board.opened.size()));
  EXPECT_TRUE(sink.entries.empty());
}

INSTANTIATE_TEST_SUITE_P(Rows, StopRows,
                         ::testing::Values(StopRow{"before_the_port_opens", 0, 0, STATUS_DOWNLOAD_STOPPED_BEFORE_START},
                                           StopRow{"before_the_first_chunk", 1, 0, StoppedAfter("0")},
                                           StopRow{"after_two_chunks", 3, 0, StoppedAfter("128")},
                                           StopRow{"start_cut_short", 1, 1, StoppedAfter("0")},
                                           StopRow{"second_chunk_cut_short", 3, 3, StoppedAfter("64")},
                                           StopRow{"after_the_last_chunk", 5, 0, "Download success"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(DownloadLength, ValidFromOneWindowLineToTheWholeWindow) {
  EXPECT_EQ(DownloadLength(0x200F), 16);
  EXPECT_EQ(DownloadLength(0x3FFF), 8192);
  EXPECT_EQ(DownloadLength(0x1FFF), 0);
  EXPECT_EQ(DownloadLength(0xF), -0x1FF0);
  EXPECT_LT(DownloadLength(0xFFFFFFFF), 0);
}

}  // namespace
}  // namespace vorna::test
