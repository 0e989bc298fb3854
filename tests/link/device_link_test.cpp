#include "link/device_link.h"

#include <gtest/gtest.h>

#include "link/port_session.h"
#include "link/protocol.h"
#include "support/fake_board.h"
#include "support/recording_sink.h"
#include "support/requests.h"

namespace vorna::test {
namespace {

using Strings = std::vector<std::string>;
using Step = FakeBoard::ReadStep;

PortLookup ResolveAsTestDevice(int n) {
  if (n <= 0) return {{}, "port numbers start at 1"};
  return {"/dev/test" + std::to_string(n), {}};
}

struct LinkFixture : ::testing::Test {
  FakeBoard board;
  RecordingSink sink;
  DeviceLink link{board, sink, ResolveAsTestDevice};
  void Open() { ASSERT_TRUE(link.OpenPort(1)); }
};

TEST_F(LinkFixture, OpenPortUsesTheResolvedDeviceAndClosesOnce) {
  board.refusedDevices = {"/dev/test3"};
  EXPECT_FALSE(link.OpenPort(3));
  EXPECT_EQ(sink.Texts(), Strings{"Can not open COM3"});
  EXPECT_TRUE(board.writes.empty());
  EXPECT_FALSE(link.IsOpen());

  EXPECT_TRUE(link.OpenPort(2));
  EXPECT_EQ(board.opened, Strings{"/dev/test2"});
  link.ClosePort();
  link.ClosePort();  // closing a closed port does nothing
  EXPECT_EQ(board.closeCount, 1);
}

TEST_F(LinkFixture, PortNumbersWithoutDeviceReportTheirNumberUnchanged) {
  for (int n : {0, -2, -2147483647 - 1}) {
    sink.entries.clear();
    EXPECT_FALSE(link.OpenPort(n));
    EXPECT_EQ(sink.Texts(), Strings{"Can not open COM" + std::to_string(n)});
  }
  EXPECT_TRUE(board.opened.empty());
}

TEST_F(LinkFixture, OpenDeviceNamesThePathAndGivesTheReason) {
  board.refusedDevices = {"/dev/missing"};
  EXPECT_FALSE(link.OpenDevice("/dev/missing"));
  ASSERT_EQ(sink.entries.size(), 1u);
  EXPECT_EQ(sink.entries[0].text, "Can not open /dev/missing");
  EXPECT_NE(sink.entries[0].reason.find("no such device"), std::string::npos);
}

// Every reason names the port: its number and the device it reached, or
// the path a device was opened by.
struct PortNameRow {
  const char* name;
  PortChoice port;
  Step reply;  // to the register read, once open
  std::string text;
  std::string reason;
};

void PrintTo(const PortNameRow& row, std::ostream* os) { *os << row.name; }

struct PortNameRows : LinkFixture, ::testing::WithParamInterface<PortNameRow> {};

TEST_P(PortNameRows, ReasonsNameThePortAndTheDevice) {
  board.refusedDevices = {"/dev/test3"};
  board.script = {GetParam().reply};
  const LinkResult<> opened = link.Open(GetParam().port);
  const LinkFailure failure = opened ? link.ReadRegisters().failure() : opened.failure();
  ASSERT_EQ(sink.entries.size(), 1u);
  EXPECT_EQ(sink.entries[0].text, GetParam().text);
  EXPECT_EQ(sink.entries[0].reason, GetParam().reason);
  EXPECT_EQ(failure.step, GetParam().text) << "the result is what was reported";
  EXPECT_EQ(failure.reason, GetParam().reason);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, PortNameRows,
    ::testing::Values(
        PortNameRow{"NumberRefused", {3, {}}, {}, "Can not open COM3", "COM3 (/dev/test3): open: no such device"},
        PortNameRow{"NumberWithoutDevice", {0, {}}, {}, "Can not open COM0", "COM0: port numbers start at 1"},
        PortNameRow{"NumberTimesOut",
                    {1, {}},
                    {{}},
                    "Read error",
                    "COM1 (/dev/test1): 0 of 10 reply bytes arrived within the time-out (1100 ms at most)"},
        PortNameRow{
            "PathReadFails", {1, "/dev/pts/7"}, {{}, true}, "Read error", "/dev/pts/7: read: input/output error"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LinkFixture, RequestsHaveTheirExactBytes) {
  Open();
  link.SetChannel(6);
  link.WriteRegister(0x20, 0x07);
  link.ReadRegisters();
  link.StoreDefaults();
  link.StartDownload(8192);
  const std::vector<Bytes> expected = {test::Request::SetChannel(6), test::Request::WriteRegister(0x20, 0x07),
                                       test::Request::ReadRegisters(), test::Request::StoreDefaults(),
                                       test::Request::StartDownload(8192)};
  EXPECT_EQ(board.writes, expected);
  EXPECT_TRUE(sink.entries.empty());
}

TEST_F(LinkFixture, ReadRegistersFillsTheSnapshotFromAWorkingBoard) {
  Open();
  board.channel = 13;
  const LinkResult<RegisterSnapshot> read = link.ReadRegisters();
  ASSERT_TRUE(read);
  const RegisterSnapshot expected{{0x21, 0xB4, 0x06, 0x58, 0x2A, 0x00, 0x1A, 0x00, 0x1B, 13}};
  EXPECT_EQ(read.value(), expected);
}

// Each failure row: what the board does, the messages in order, and how many
// reads the operation made (which steps still ran).
struct FailureRow {
  const char* name;
  std::vector<int> failingWrites;
  std::vector<Step> replies;
  Strings messages;
  int reads;
  bool result;
};

void PrintTo(const FailureRow& row, std::ostream* os) { *os << row.name; }

struct WriteRegisterRows : LinkFixture, ::testing::WithParamInterface<FailureRow> {};

TEST_P(WriteRegisterRows, AlwaysWritesReadsAndCompares) {
  const auto& row = GetParam();
  Open();
  board.failingWrites = row.failingWrites;
  board.script.assign(row.replies.begin(), row.replies.end());
  const LinkResult<> written = link.WriteRegister(0x00, 0x21);
  EXPECT_EQ(written.ok(), row.result);
  EXPECT_EQ(sink.Texts(), row.messages);
  if (!written) {
    EXPECT_EQ(written.failure().step, row.messages.front()) << "the result is the first failure";
  }
  EXPECT_EQ(board.readCount, row.reads);
}

const Bytes ECHO = {0xAA, 0x03, 0x01, 0x00, 0x21};

INSTANTIATE_TEST_SUITE_P(
    Rows, WriteRegisterRows,
    ::testing::Values(
        FailureRow{"echo", {}, {{ECHO}}, {}, 1, true},
        FailureRow{"one_byte_changed", {}, {{{0xAA, 0x03, 0x01, 0x00, 0x20}}}, {"ReadData error"}, 1, false},
        FailureRow{"short_echo", {}, {{{0xAA, 0x03, 0x01, 0x00}}}, {"ReadData error"}, 1, false},
        FailureRow{"no_reply", {}, {{{}}}, {"ReadData error"}, 1, false},
        FailureRow{"write_fails_read_still_runs", {1}, {{ECHO}}, {"Write error"}, 1, false},
        FailureRow{"read_fails", {}, {{{}, true}}, {"Read error", "ReadData error"}, 1, false},
        FailureRow{"everything_fails", {1}, {{{}, true}}, {"Write error", "Read error", "ReadData error"}, 1, false}),
    [](const auto& info) { return std::string(info.param.name); });

struct ReadRegistersRows : LinkFixture, ::testing::WithParamInterface<FailureRow> {};

TEST_P(ReadRegistersRows, StopsAtTheFirstFailure) {
  const auto& row = GetParam();
  Open();
  board.failingWrites = row.failingWrites;
  board.script.assign(row.replies.begin(), row.replies.end());
  EXPECT_EQ(link.ReadRegisters().ok(), row.result);
  EXPECT_EQ(sink.Texts(), row.messages);
  EXPECT_EQ(board.readCount, row.reads);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ReadRegistersRows,
    ::testing::Values(FailureRow{"ten_bytes", {}, {{Bytes(10, 0x11)}}, {}, 1, true},
                      FailureRow{"write_fails_no_read", {1}, {{Bytes(10, 0x11)}}, {"Write error"}, 0, false},
                      FailureRow{"read_fails", {}, {{{}, true}}, {"Read error"}, 1, false},
                      FailureRow{"nine_bytes", {}, {{Bytes(9, 0x11)}}, {"Read error"}, 1, false},
                      FailureRow{"nothing", {}, {{{}}}, {"Read error"}, 1, false},
                      // Bytes after the ten: they were not this request's reply.
                      FailureRow{"more_follows", {}, {{Bytes(10, 0x11), false, true}}, {"Read error"}, 1, false}),
    [](const auto& info) { return std::string(info.param.name); });

// SetChannel and StoreDefaults: report a failed write, still read, report a
// failed read; a short or empty reply is no error.
struct ReplyIgnoredRow {
  const char* name;
  bool storeDefaults;
  std::vector<int> failingWrites;
  Step reply;
  Strings messages;
};

void PrintTo(const ReplyIgnoredRow& row, std::ostream* os) { *os << row.name; }

struct ReplyIgnoredRows : LinkFixture, ::testing::WithParamInterface<ReplyIgnoredRow> {};

TEST_P(ReplyIgnoredRows, RunAllStepsAndIgnoreTheContent) {
  const auto& row = GetParam();
  Open();
  board.failingWrites = row.failingWrites;
  board.script = {row.reply};
  const bool ok = (row.storeDefaults ? link.StoreDefaults() : link.SetChannel(205)).ok();
  EXPECT_EQ(ok, row.messages.empty());
  EXPECT_EQ(sink.Texts(), row.messages);
  EXPECT_EQ(board.readCount, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ReplyIgnoredRows,
    ::testing::Values(ReplyIgnoredRow{"channel_any_reply", false, {}, {{1, 2, 3, 4}}, {}},
                      ReplyIgnoredRow{"channel_short_reply", false, {}, {{0xAA}}, {}},
                      ReplyIgnoredRow{"channel_empty_reply", false, {}, {{}}, {}},
                      ReplyIgnoredRow{"channel_write_fails", false, {1}, {{}}, {"WriteFile error"}},
                      ReplyIgnoredRow{"channel_read_fails", false, {}, {{}, true}, {"ReadFile error"}},
                      ReplyIgnoredRow{
                          "channel_both_fail", false, {1}, {{}, true}, {"WriteFile error", "ReadFile error"}},
                      ReplyIgnoredRow{"store_any_reply", true, {}, {{0x42}}, {}},
                      ReplyIgnoredRow{"store_empty_reply", true, {}, {{}}, {}},
                      ReplyIgnoredRow{"store_write_fails", true, {1}, {{}}, {"WriteFile error"}},
                      ReplyIgnoredRow{"store_read_fails", true, {}, {{}, true}, {"ReadFile error"}},
                      ReplyIgnoredRow{"store_both_fail", true, {1}, {{}, true}, {"WriteFile error", "ReadFile error"}}),
    [](const auto& info) { return std::string(info.param.name); });

struct DownloadRow {
  const char* name;
  bool isLast;  // ignored for the start rows
  bool start;
  std::vector<int> failingWrites;
  std::vector<Step> replies;
  int reads;
  bool result;
  // Why it failed, as LinkFailure::Text gives it; empty on success.
  const char* reason;
};

void PrintTo(const DownloadRow& row, std::ostream* os) { *os << row.name; }

struct DownloadRows : LinkFixture, ::testing::WithParamInterface<DownloadRow> {};

TEST_P(DownloadRows, AcceptOnlyTheContractedReplies) {
  const auto& row = GetParam();
  Open();
  board.failingWrites = row.failingWrites;
  board.script.assign(row.replies.begin(), row.replies.end());
  const Bytes chunk(16, 0x5A);
  const LinkResult<> sent = row.start ? link.StartDownload(16) : link.SendChunk(chunk, row.isLast);
  EXPECT_EQ(sent.ok(), row.result);
  EXPECT_EQ(sent ? "" : sent.failure().Text(), row.reason);
  EXPECT_EQ(board.readCount, row.reads);
  EXPECT_TRUE(sink.entries.empty()) << "the download exchanges report nothing themselves";
  if (!row.start) {
    EXPECT_EQ(board.writes.at(0), chunk) << "chunks travel unframed";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DownloadRows,
    ::testing::Values(
        DownloadRow{"start_accepted", false, true, {}, {{{0x00, 0x99}}}, 1, true, ""},
        DownloadRow{"start_then_more",
                    false,
                    true,
                    {},
                    {{{0x00, 0x99}, false, true}},
                    1,
                    false,
                    "start: the board is still sending: more bytes followed the reply"},
        DownloadRow{"start_refused",
                    false,
                    true,
                    {},
                    {{{0x01, 0x00}}},
                    1,
                    false,
                    "start: the board answered 01 00 (hex), not 00"},
        DownloadRow{"start_one_byte",
                    false,
                    true,
                    {},
                    {{{0x00}}},
                    1,
                    false,
                    "start: 1 of 2 reply bytes arrived within the time-out (300 ms at most)"},
        DownloadRow{"start_no_reply",
                    false,
                    true,
                    {},
                    {{{}}},
                    1,
                    false,
                    "start: 0 of 2 reply bytes arrived within the time-out (300 ms at most)"},
        DownloadRow{"start_read_fails", false, true, {}, {{{}, true}}, 1, false, "start: read: input/output error"},
        DownloadRow{
            "start_write_fails", false, true, {1}, {{{0x00, 0x00}}}, 0, false, "start: write: input/output error"},
        DownloadRow{"chunk_accepted", false, false, {}, {{{0x00, 0x37}}}, 1, true, ""},
        DownloadRow{"chunk_one_zero_byte", false, false, {}, {{{0x00}}}, 1, true, ""},
        DownloadRow{"chunk_refused",
                    false,
                    false,
                    {},
                    {{{0x01, 0x00}}},
                    1,
                    false,
                    "acknowledgement: the board answered 01 00 (hex), not 00"},
        DownloadRow{"chunk_empty_reply",
                    false,
                    false,
                    {},
                    {{{}}},
                    1,
                    false,
                    "acknowledgement: 0 of 2 reply bytes arrived within the time-out (300 ms at most)"},
        DownloadRow{
            "chunk_read_fails", false, false, {}, {{{}, true}}, 1, false, "acknowledgement: read: input/output error"},
        DownloadRow{"chunk_write_fails", false, false, {1}, {{{0x00, 0x00}}}, 0, false, "write: input/output error"},
        DownloadRow{"last_completed", true, false, {}, {{{0x00, 0x12}}, {{0xFF, 0x34}}}, 2, true, ""},
        DownloadRow{"last_wrong_completion",
                    true,
                    false,
                    {},
                    {{{0x00, 0x00}}, {{0x00, 0x00}}},
                    2,
                    false,
                    "completion: the board answered 00 00 (hex), not ff"},
        DownloadRow{"last_no_completion",
                    true,
                    false,
                    {},
                    {{{0x00, 0x00}}, {{}}},
                    2,
                    false,
                    "completion: 0 of 2 reply bytes arrived within the time-out (300 ms at most)"},
        DownloadRow{"last_completion_fails",
                    true,
                    false,
                    {},
                    {{{0x00, 0x00}}, {{}, true}},
                    2,
                    false,
                    "completion: read: input/output error"},
        DownloadRow{"last_refused_no_second_read",
                    true,
                    false,
                    {},
                    {{{0x01, 0x00}}, {{0xFF, 0x00}}},
                    1,
                    false,
                    "acknowledgement: the board answered 01 00 (hex), not 00"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LinkFixture, StartDownloadSendsTheLengthLowByteFirst) {
  Open();
  for (std::uint16_t length : {16, 80, 8192}) link.StartDownload(length);
  ASSERT_EQ(board.writes.size(), 3u);
  EXPECT_EQ(board.writes[0], (Bytes{0xAA, 0x03, 0x04, 0x10, 0x00}));
  EXPECT_EQ(board.writes[1], (Bytes{0xAA, 0x03, 0x04, 0x50, 0x00}));
  EXPECT_EQ(board.writes[2], (Bytes{0xAA, 0x03, 0x04, 0x00, 0x20}));
}

TEST_F(LinkFixture, ChunkSizesOutsideOneToSixtyFourAreRefusedWithoutTraffic) {
  Open();
  const Bytes big(65, 0);
  EXPECT_FALSE(link.SendChunk({big.data(), 0}, false));
  EXPECT_FALSE(link.SendChunk({big.data(), 65}, false));
  EXPECT_TRUE(board.writes.empty());
}

TEST_F(LinkFixture, DestroyingTheLinkClosesThePort) {
  {
    DeviceLink scoped(board, sink, ResolveAsTestDevice);
    ASSERT_TRUE(scoped.OpenPort(4));
  }
  EXPECT_FALSE(board.IsOpen());
  EXPECT_EQ(board.closeCount, 1);
}

TEST_F(LinkFixture, ASessionClosesItsPortOnEveryWayOut) {
  {
    PortSession session(link, {1, {}});
    EXPECT_TRUE(session);
    EXPECT_TRUE(board.IsOpen());
  }
  EXPECT_FALSE(board.IsOpen());
  const auto throwing = [this] {
    PortSession session(link, {2, {}});
    throw std::runtime_error("the command failed");
  };
  EXPECT_THROW(throwing(), std::runtime_error);
  EXPECT_FALSE(board.IsOpen());
  EXPECT_EQ(board.closeCount, 2);
  board.refusedDevices = {"/dev/test3"};
  {
    PortSession session(link, {3, {}});
    EXPECT_FALSE(session);
  }
  EXPECT_EQ(board.opened, (Strings{"/dev/test1", "/dev/test2"}));
  EXPECT_EQ(board.closeCount, 2);
  EXPECT_EQ(sink.Texts(), Strings{"Can not open COM3"});
}

}  // namespace
}  // namespace vorna::test
