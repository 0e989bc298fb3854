// Every way a command can fail against a board on a pseudo-terminal, one row
// each: the messages and the status text the user sees, the board requests
// that still went out, an upper bound on the command's duration computed
// from the read time-outs of the exchanges it makes, and afterwards a port
// that is closed again (the device opens exclusively, no descriptor is left)
// and a following command on the same port number that succeeds.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <numeric>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "commands/commands.h"
#include "download/download_procedure.h"
#include "faults/fault_support.h"
#include "link/device_link.h"
#include "link/protocol.h"
#include "link/serial_posix.h"
#include "support/board_sim.h"
#include "support/hex_records.h"
#include "support/recording_sink.h"

namespace vorna::test {
namespace {

using Strings = std::vector<std::string>;
using Clock = std::chrono::steady_clock;

// Opening, closing and scheduling on top of the read time-outs; generous
// because the suite also runs sanitized on a loaded machine.
constexpr std::chrono::milliseconds SCHEDULING_SLACK{1500};
// The port number every row's board is published as.
constexpr int PORT = 7;
// A number that names no device.
constexpr int ABSENT_PORT = -2;

// The status texts for the board's power-on registers.
const std::string POWER_ON_SUMMARY =
    " Transmission Freq.\r\n    88.1 MHz\r\n Output Power\r\n    1 mW\r\n Audio Input Level\r\n    100 mVrms\r\n"
    " Pre-emphasis\r\n    On\r\n Pre-emphasis Time Constant\r\n    75 usec";
const std::string POWER_ON_DUMP =
    " PE = 1\r\n PDX = 0\r\n MUTE = 0\r\n EM = 0\r\n EMS = 1\r\n AG = 0\r\n PLT = 0\r\n SUBC = 0\r\n PL = 2\r\n"
    " ULD = 1\r\n P = 2a58H\r\n CIA = 1\r\n CIB = 3\r\n CEX = 3";

enum class Command { kQuick, kAdvanced, kDownload };

// Who else has the port: nobody, another program from the start, or another
// program that takes it while the command's dialog is open.
enum class Holder { None, kFromStart, kDuringDialog };

// Files the download rows load.
enum class HexFile { kBlink, kEmptyPath, Missing, kFolder, kFifo, kTopOfAddressRange, kBelowWindow, kAboveWindow };

struct Row {
  const char* name = "";
  Command command = Command::kQuick;
  std::vector<std::string> simArgs = {};
  Strings messages = {};
  // The status text shown; nullopt when the status is never set.
  std::optional<std::string> status = std::nullopt;
  // A register write failed: the status is shown (again, for a Quick
  // Setting) under the line that says so.
  bool writeFailed = false;
  // Requests the board received, in order of arrival.
  std::size_t requests = 0;
  bool dialogShown = false;
  int port = PORT;
  Holder holder = Holder::None;
  HexFile file = HexFile::kBlink;
  // Garbled replies: messages vary with where the stray bytes land; each
  // message must be one of `messages`, and the requests and status are not
  // compared.
  bool straysAllowed = false;
  // How long the user keeps the dialog open; the board may send meanwhile.
  std::chrono::milliseconds dialogTime{0};
};

void PrintTo(const Row& row, std::ostream* os) { *os << row.name; }

Strings ExpectedStatuses(const Row& row) {
  if (!row.status) return {};
  if (!row.writeFailed) return {*row.status};
  const std::string warned = std::string(TEXT_NOT_EVERY_REGISTER_WRITTEN) + "\r\n" + *row.status;
  if (row.command == Command::kQuick) return {*row.status, warned};
  return {warned};
}

// Reply sizes read by each exchange of a command that runs to its end.
std::vector<std::size_t> QuickReads() {
  // The snapshot, two register echoes, the channel's echo, the store's byte.
  return {10, 5, 5, 4, 1};
}
std::vector<std::size_t> AdvancedReads() {
  constexpr std::size_t REGISTER_WRITES = 8;  // the prefix register and seven registers
  std::vector<std::size_t> reads(REGISTER_WRITES, 5);
  reads.insert(reads.begin(), 10);
  return reads;
}
std::vector<std::size_t> DownloadReads(std::size_t programLength) {
  const std::size_t chunks = (programLength + DOWNLOAD_CHUNK_SIZE - 1) / DOWNLOAD_CHUNK_SIZE;
  // The start, one acknowledgement per chunk, and the completion.
  return std::vector<std::size_t>(chunks + 2, CHUNK_REPLY_SIZE);
}

std::chrono::milliseconds Bound(const std::vector<std::size_t>& reads) {
  const int waits = std::accumulate(reads.begin(), reads.end(), 0,
                                    [](int sum, std::size_t size) { return sum + ReadTotalTimeoutMs(size); });
  return std::chrono::milliseconds(waits) + SCHEDULING_SLACK;
}

// tests/data/blink.hex: 300 program bytes from 0x2000, so 304 are sent.
constexpr std::size_t BLINK_PROGRAM_LENGTH = 304;
constexpr std::size_t BLINK_REQUESTS = 1 + 5;  // the start and five chunks

std::string HexPath(HexFile file, const TempFolder& folder) {
  switch (file) {
    case HexFile::kBlink:
      return VORNA_TEST_DATA_DIR "/blink.hex";
    case HexFile::kEmptyPath:
      return "";
    case HexFile::Missing:
      return folder.File("missing.hex");
    case HexFile::kFolder:
      return folder.path().string();
    case HexFile::kFifo:
      return folder.MakeFifo("pipe.hex");
    case HexFile::kTopOfAddressRange:
      return folder.Write(
          "top.hex", IntelLinear(0xFFFF) + "\n" + IntelData(0xFFF0, CountingBytes(1, 16)) + "\n" + IntelEnd() + "\n");
    case HexFile::kBelowWindow:
      return folder.Write("low.hex", IntelData(0x1000, CountingBytes(1, 16)) + "\n" + IntelEnd() + "\n");
    case HexFile::kAboveWindow:
      return folder.Write("high.hex", IntelData(0x2000, CountingBytes(1, 16)) + "\n" +
                                          IntelData(0x4000, CountingBytes(1, 1)) + "\n" + IntelEnd() + "\n");
  }
  return {};
}

class FaultMatrix : public ::testing::TestWithParam<Row> {
 protected:
  void SetUp() override { ports_.Activate(); }

  // The command of the row on `board`: its messages, status texts and
  // whether the dialog was shown, and how long it took.
  struct Outcome {
    Strings messages;
    Strings statuses;
    bool dialogShown = false;
    Clock::duration took{};
  };

  Outcome RunCommand(const Row& row, const BoardSim& board) {
    PosixSerialTransport transport;
    RecordingSink sink;
    DeviceLink link(transport, sink);
    SessionState state;
    const PortChoice port{row.port, {}};
    Outcome outcome;
    std::optional<PortHolder> holder;
    if (row.holder == Holder::kFromStart) holder.emplace(board.device());
    auto takePort = [&] {
      outcome.dialogShown = true;
      std::this_thread::sleep_for(row.dialogTime);
      if (row.holder == Holder::kDuringDialog) holder.emplace(board.device());
    };
    // The status texts as the status pane shows them: a text the same as
    // the one shown changes nothing.
    auto show = [&](const std::optional<std::string>& text) {
      if (text && (outcome.statuses.empty() || outcome.statuses.back() != *text)) outcome.statuses.push_back(*text);
    };
    const std::string path = HexPath(row.file, folder_);

    const auto start = Clock::now();
    switch (row.command) {
      case Command::kQuick:
        show(StatusText(RunQuickSetting(
            state, link, port,
            [&](const QuickSettings& fromBoard) {
              takePort();
              QuickSettings edited = fromBoard;
              edited.storeAsDefault = true;  // every step of the command runs
              return std::optional<QuickSettings>(edited);
            },
            [&](const QuickSettings& toWrite) { show(FormatQuickSummary(toWrite)); })));
        break;
      case Command::kAdvanced:
        show(StatusText(RunAdvancedSetting(state, link, port, [&](const TransmitterFields& fromBoard) {
          takePort();
          return std::optional<TransmitterFields>(fromBoard);
        })));
        break;
      case Command::kDownload:
        show(DownloadStatusText(RunDownload(path, link, port, sink)));
        break;
    }
    outcome.took = Clock::now() - start;
    EXPECT_FALSE(link.IsOpen()) << "the command left its port open";
    outcome.messages = sink.Texts();
    return outcome;
  }

  PortAliases ports_;
  TempFolder folder_;
};

TEST_P(FaultMatrix, ReportsWithinTheTimeOutsAndLeavesThePortUsable) {
  const Row& row = GetParam();
  std::vector<std::string> args = row.simArgs;
  args.insert(args.end(), {"--com", std::to_string(PORT)});
  auto board = std::make_unique<BoardSim>(BoardSimSetup{args, {}, ports_.home(), true});
  ASSERT_TRUE(board->ok());
  const std::size_t descriptorsBefore = OpenDescriptorCount();

  const Outcome outcome = RunCommand(row, *board);

  // What the user sees.
  if (row.straysAllowed) {
    for (const auto& message : outcome.messages)
      EXPECT_NE(std::find(row.messages.begin(), row.messages.end(), message), row.messages.end()) << message;
    // Stray bytes right after the register read: its reply may not be the
    // board's answer, and the command stops before its dialog.
    const bool readRefused = !outcome.messages.empty() && outcome.messages.front() == "Read error";
    EXPECT_EQ(outcome.dialogShown, !readRefused);
    // A garbled echo fails its write; a Quick Setting then shows its summary
    // a second time, under the warning.
    const bool shownAgain = row.command == Command::kQuick && !outcome.messages.empty();
    EXPECT_EQ(outcome.statuses.size(), readRefused ? 0u : shownAgain ? 2u : 1u);
  } else {
    EXPECT_EQ(outcome.messages, row.messages);
    EXPECT_EQ(outcome.statuses, ExpectedStatuses(row));
    EXPECT_EQ(BoardRequests(*board).size(), row.requests) << Join(BoardRequests(*board));
    EXPECT_EQ(outcome.dialogShown, row.dialogShown);
  }

  // Within the time-outs of the exchanges the command makes at most, and the
  // time the user spends in the dialog.
  std::vector<std::size_t> reads;
  switch (row.command) {
    case Command::kQuick:
      reads = QuickReads();
      break;
    case Command::kAdvanced:
      reads = AdvancedReads();
      break;
    case Command::kDownload:
      reads = DownloadReads(BLINK_PROGRAM_LENGTH);
      break;
  }
  EXPECT_LE(outcome.took, Bound(reads) + row.dialogTime)
      << "took " << std::chrono::duration_cast<std::chrono::milliseconds>(outcome.took).count() << " ms";

  // Nothing held: no descriptor left behind, and the device (when the board
  // is still there) opens exclusively at once.
  EXPECT_EQ(OpenDescriptorCount(), descriptorsBefore);
  if (std::filesystem::exists(board->device())) {
    PosixSerialTransport again;
    EXPECT_TRUE(again.Open(board->device())) << again.LastError();
  }

  // The next command on the same port number succeeds, on a sound board
  // published under that number in place of the faulty one.
  board.reset();
  BoardSim sound(BoardSimSetup{{"--com", std::to_string(PORT)}, {}, ports_.home(), true});
  ASSERT_TRUE(sound.ok());
  PosixSerialTransport transport;
  RecordingSink sink;
  DeviceLink link(transport, sink);
  SessionState state;
  Strings statuses;
  const auto result = RunQuickSetting(
      state, link, PortChoice{PORT, {}}, [](const QuickSettings& q) { return std::optional<QuickSettings>(q); },
      [&](const QuickSettings& toWrite) { statuses.push_back(FormatQuickSummary(toWrite)); });
  EXPECT_EQ(result.outcome, CommandOutcome::Applied);
  EXPECT_EQ(sink.Texts(), Strings{});
  EXPECT_EQ(statuses, Strings{POWER_ON_SUMMARY});
}

const std::string CAN_NOT_OPEN = "Can not open COM" + std::to_string(PORT);
const std::string CAN_NOT_OPEN_ABSENT = "Can not open COM" + std::to_string(ABSENT_PORT);

INSTANTIATE_TEST_SUITE_P(
    Quick, FaultMatrix,
    ::testing::Values(
        Row{.name = "sound_board",
            .command = Command::kQuick,
            .messages = {},
            .status = POWER_ON_SUMMARY,
            .requests = 5,
            .dialogShown = true},
        Row{.name = "absent_port", .command = Command::kQuick, .messages = {CAN_NOT_OPEN_ABSENT}, .port = ABSENT_PORT},
        Row{.name = "busy_port", .command = Command::kQuick, .messages = {CAN_NOT_OPEN}, .holder = Holder::kFromStart},
        Row{.name = "register_read_unanswered",
            .command = Command::kQuick,
            .simArgs = {"--silent", "2"},
            .messages = {"Read error"},
            .requests = 1},
        Row{.name = "register_read_short",
            .command = Command::kQuick,
            .simArgs = {"--short-registers", "9"},
            .messages = {"Read error"},
            .requests = 1},
        Row{.name = "port_taken_for_the_writes",
            .command = Command::kQuick,
            .messages = {CAN_NOT_OPEN},
            .status = POWER_ON_SUMMARY,
            .requests = 1,
            .dialogShown = true,
            .holder = Holder::kDuringDialog},
        Row{.name = "echo_changed",
            .command = Command::kQuick,
            .simArgs = {"--corrupt-echo", "1"},
            .messages = {"ReadData error"},
            .status = POWER_ON_SUMMARY,
            .writeFailed = true,
            .requests = 5,
            .dialogShown = true},
        Row{.name = "echoes_unanswered",
            .command = Command::kQuick,
            .simArgs = {"--silent", "1"},
            .messages = {"ReadData error", "ReadData error"},
            .status = POWER_ON_SUMMARY,
            .writeFailed = true,
            .requests = 5,
            .dialogShown = true},
        Row{.name = "channel_unanswered",
            .command = Command::kQuick,
            .simArgs = {"--silent", "0"},
            .messages = {},
            .status = POWER_ON_SUMMARY,
            .requests = 5,
            .dialogShown = true},
        Row{.name = "store_unanswered",
            .command = Command::kQuick,
            .simArgs = {"--silent", "3"},
            .messages = {},
            .status = POWER_ON_SUMMARY,
            .requests = 5,
            .dialogShown = true},
        Row{.name = "board_answers_nothing",
            .command = Command::kQuick,
            .simArgs = {"--mute"},
            .messages = {"Read error"},
            .requests = 1},
        Row{.name = "one_byte_every_400_ms",
            .command = Command::kQuick,
            .simArgs = {"--drip", "400"},
            .messages = {"Read error"},
            .requests = 1},
        // Bytes sent while the port is closed (the dialog is open for
        // 300 ms) are dropped when it opens again; only bytes that land
        // inside an exchange garble its reply, or refuse the register read
        // when they follow its reply.
        Row{.name = "board_babbles",
            .command = Command::kQuick,
            .simArgs = {"--babble"},
            .messages = {"ReadData error", "Read error"},
            .dialogShown = true,
            .straysAllowed = true,
            .dialogTime = std::chrono::milliseconds(300)}),
    [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(Advanced, FaultMatrix,
                         ::testing::Values(Row{.name = "sound_board",
                                               .command = Command::kAdvanced,
                                               .messages = {},
                                               .status = POWER_ON_DUMP,
                                               .requests = 9,
                                               .dialogShown = true},
                                           Row{.name = "absent_port",
                                               .command = Command::kAdvanced,
                                               .messages = {CAN_NOT_OPEN_ABSENT},
                                               .port = ABSENT_PORT},
                                           Row{.name = "busy_port",
                                               .command = Command::kAdvanced,
                                               .messages = {CAN_NOT_OPEN},
                                               .holder = Holder::kFromStart},
                                           Row{.name = "register_read_short",
                                               .command = Command::kAdvanced,
                                               .simArgs = {"--short-registers", "9"},
                                               .messages = {"Read error"},
                                               .requests = 1},
                                           Row{.name = "port_taken_for_the_writes",
                                               .command = Command::kAdvanced,
                                               .messages = {CAN_NOT_OPEN},
                                               .status = POWER_ON_DUMP,
                                               .requests = 1,
                                               .dialogShown = true,
                                               .holder = Holder::kDuringDialog},
                                           Row{.name = "echo_changed",
                                               .command = Command::kAdvanced,
                                               .simArgs = {"--corrupt-echo", "3"},
                                               .messages = {"ReadData error"},
                                               .status = POWER_ON_DUMP,
                                               .writeFailed = true,
                                               .requests = 9,
                                               .dialogShown = true},
                                           Row{.name = "echoes_unanswered",
                                               .command = Command::kAdvanced,
                                               .simArgs = {"--silent", "1"},
                                               .messages = Strings(8, "ReadData error"),
                                               .status = POWER_ON_DUMP,
                                               .writeFailed = true,
                                               .requests = 9,
                                               .dialogShown = true},
                                           Row{.name = "board_answers_nothing",
                                               .command = Command::kAdvanced,
                                               .simArgs = {"--mute"},
                                               .messages = {"Read error"},
                                               .requests = 1}),
                         [](const auto& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(Download, FaultMatrix,
                         ::testing::Values(Row{.name = "sound_board",
                                               .command = Command::kDownload,
                                               .messages = {},
                                               .status = STATUS_DOWNLOAD_SUCCESS,
                                               .requests = BLINK_REQUESTS},
                                           Row{.name = "empty_path",
                                               .command = Command::kDownload,
                                               .messages = {"select hex file."},
                                               .status = STATUS_HEX_INVALID,
                                               .file = HexFile::kEmptyPath},
                                           Row{.name = "missing_file",
                                               .command = Command::kDownload,
                                               .messages = {"file open error."},
                                               .status = STATUS_HEX_INVALID,
                                               .file = HexFile::Missing},
                                           Row{.name = "folder_for_a_file",
                                               .command = Command::kDownload,
                                               .messages = {"file open error."},
                                               .status = STATUS_HEX_INVALID,
                                               .file = HexFile::kFolder},
                                           Row{.name = "pipe_without_a_length",
                                               .command = Command::kDownload,
                                               .messages = {"_filelength error."},
                                               .status = STATUS_HEX_INVALID,
                                               .file = HexFile::kFifo},
                                           Row{.name = "image_too_large",
                                               .command = Command::kDownload,
                                               .messages = {"Memory allocation error."},
                                               .status = STATUS_HEX_INVALID,
                                               .file = HexFile::kTopOfAddressRange},
                                           Row{.name = "data_below_the_window",
                                               .command = Command::kDownload,
                                               .messages = {},
                                               .status = STATUS_HEX_INVALID,
                                               .file = HexFile::kBelowWindow},
                                           Row{.name = "data_above_the_window",
                                               .command = Command::kDownload,
                                               .messages = {},
                                               .status = STATUS_HEX_INVALID,
                                               .file = HexFile::kAboveWindow},
                                           Row{.name = "absent_port",
                                               .command = Command::kDownload,
                                               .messages = {CAN_NOT_OPEN_ABSENT},
                                               .status = "",
                                               .port = ABSENT_PORT},
                                           Row{.name = "busy_port",
                                               .command = Command::kDownload,
                                               .messages = {CAN_NOT_OPEN},
                                               .status = "",
                                               .holder = Holder::kFromStart},
                                           Row{.name = "start_refused",
                                               .command = Command::kDownload,
                                               .simArgs = {"--refuse-start"},
                                               .messages = {},
                                               .status = STATUS_DOWNLOAD_FAILURE,
                                               .requests = 1},
                                           Row{.name = "start_unanswered",
                                               .command = Command::kDownload,
                                               .simArgs = {"--silent", "4"},
                                               .messages = {},
                                               .status = STATUS_DOWNLOAD_FAILURE,
                                               .requests = 1},
                                           Row{.name = "chunk_refused",
                                               .command = Command::kDownload,
                                               .simArgs = {"--refuse-chunk", "2"},
                                               .messages = {},
                                               .status = STATUS_DOWNLOAD_FAILURE,
                                               .requests = 3},
                                           Row{.name = "chunks_unanswered",
                                               .command = Command::kDownload,
                                               .simArgs = {"--silent", "chunk"},
                                               .messages = {},
                                               .status = STATUS_DOWNLOAD_FAILURE,
                                               .requests = 2},
                                           Row{.name = "completion_wrong",
                                               .command = Command::kDownload,
                                               .simArgs = {"--bad-final-ack"},
                                               .messages = {},
                                               .status = STATUS_DOWNLOAD_FAILURE,
                                               .requests = BLINK_REQUESTS},
                                           Row{.name = "hang_up_mid_download",
                                               .command = Command::kDownload,
                                               .simArgs = {"--hangup-after-chunks", "2"},
                                               .messages = {},
                                               .status = STATUS_DOWNLOAD_FAILURE,
                                               .requests = 3},
                                           Row{.name = "board_answers_nothing",
                                               .command = Command::kDownload,
                                               .simArgs = {"--mute"},
                                               .messages = {},
                                               .status = STATUS_DOWNLOAD_FAILURE,
                                               .requests = 1},
                                           Row{.name = "one_byte_every_400_ms",
                                               .command = Command::kDownload,
                                               .simArgs = {"--drip", "400"},
                                               .messages = {},
                                               .status = STATUS_DOWNLOAD_FAILURE,
                                               .requests = 1}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vorna::test
