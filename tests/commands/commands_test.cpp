#include "commands/commands.h"

#include <gtest/gtest.h>

#include "model/transmitter_fields.h"
#include "support/fake_board.h"
#include "support/recording_sink.h"
#include "support/requests.h"

namespace vorna::test {
namespace {

using Strings = std::vector<std::string>;
using Step = FakeBoard::ReadStep;

Bytes PowerOnBytes() {
  const RegisterSnapshot snapshot = PowerOnSnapshot();
  return Bytes(snapshot.bytes.begin(), snapshot.bytes.end());
}

struct CommandFixture : ::testing::Test {
  FakeBoard board;
  RecordingSink sink;
  // Opens beyond this count find no device, as if the board was unplugged.
  int allowedOpens = 1000;
  DeviceLink link{board, sink, [this](int n) {
                    if (static_cast<int>(board.opened.size()) >= allowedOpens) return PortLookup{{}, "gone"};
                    return PortLookup{"/dev/test" + std::to_string(n), {}};
                  }};
  SessionState state;
  std::vector<std::string> statuses;
  // Writes already made when the status text was set.
  std::vector<std::size_t> writesAtStatus;
  int dialogShown = 0;

  // The status texts as the status pane shows them: the summary when a
  // Quick Setting is about to write, then the text the command leaves where
  // it changes what is shown.
  void Show(const std::optional<std::string>& text) {
    if (!text || (!statuses.empty() && statuses.back() == *text)) return;
    statuses.push_back(*text);
    writesAtStatus.push_back(board.writes.size());
  }
  QuickWriting Writing() {
    return [this](const QuickSettings& toWrite) { Show(FormatQuickSummary(toWrite)); };
  }
  template <typename Result>
  CommandOutcome Shown(const Result& result) {
    Show(StatusText(result));
    return result.outcome;
  }
};

TEST_F(CommandFixture, QuickOpenFailureShowsOneBoxAndNoDialog) {
  board.refusedDevices = {"/dev/test1"};
  const auto result = Shown(RunQuickSetting(
      state, link, PortChoice{1, {}},
      [&](const QuickSettings& s) {
        ++dialogShown;
        return std::optional<QuickSettings>(s);
      },
      Writing()));
  EXPECT_EQ(result, CommandOutcome::PortNotOpened);
  EXPECT_EQ(sink.Texts(), Strings{"Can not open COM1"});
  EXPECT_EQ(dialogShown, 0);
  EXPECT_TRUE(statuses.empty());
}

TEST_F(CommandFixture, QuickShortReadClosesThePortAndShowsNoDialog) {
  board.script = {Step{Bytes(9, 0x00)}};
  state.snapshot.bytes.fill(0x5A);
  const RegisterSnapshot before = state.snapshot;
  const auto result = Shown(RunQuickSetting(
      state, link, PortChoice{},
      [&](const QuickSettings& s) {
        ++dialogShown;
        return std::optional<QuickSettings>(s);
      },
      Writing()));
  EXPECT_EQ(result, CommandOutcome::ReadFailed);
  EXPECT_EQ(sink.Texts(), Strings{"Read error"});
  EXPECT_EQ(dialogShown, 0);
  EXPECT_FALSE(board.IsOpen());
  EXPECT_EQ(board.closeCount, 1);
  EXPECT_EQ(state.snapshot, before) << "a failed read leaves the snapshot";
}

TEST_F(CommandFixture, QuickCancelSendsNothingMoreAndKeepsTheStatus) {
  const auto result = Shown(RunQuickSetting(
      state, link, PortChoice{}, [](const QuickSettings&) { return std::optional<QuickSettings>(); }, Writing()));
  EXPECT_EQ(result, CommandOutcome::Cancelled);
  EXPECT_EQ(board.writes.size(), 1u);  // the register read only
  EXPECT_TRUE(statuses.empty());
  EXPECT_FALSE(board.IsOpen());
}

TEST_F(CommandFixture, QuickDialogSeesTheBoardValuesThenSummaryPrecedesTheWrites) {
  board.registers[0] = 0xB1;
  board.registers[2] = 0x07;
  board.channel = 13;
  QuickSettings seen;
  const auto result = Shown(RunQuickSetting(
      state, link, PortChoice{},
      [&](const QuickSettings& s) {
        seen = s;
        EXPECT_FALSE(board.IsOpen()) << "the port is closed while the dialog is up";
        QuickSettings edited = s;
        edited.frequency = 0.1 * 1 + 88;  // as the dialog forms 88.1
        edited.storeAsDefault = true;
        return std::optional<QuickSettings>(edited);
      },
      Writing()));
  EXPECT_EQ(result, CommandOutcome::Applied);
  EXPECT_EQ(seen.powerIndex, 1);
  EXPECT_EQ(seen.audioLevelIndex, 2);
  EXPECT_EQ(seen.preEmphasisIndex, 1);
  EXPECT_EQ(seen.timeConstantIndex, 1);
  EXPECT_FALSE(seen.storeAsDefault);
  ASSERT_EQ(statuses.size(), 1u);
  EXPECT_NE(statuses[0].find("88.1 MHz"), std::string::npos);
  EXPECT_EQ(writesAtStatus, std::vector<std::size_t>{1});
  const std::vector<Bytes> writes(board.writes.begin() + 1, board.writes.end());
  EXPECT_EQ(writes, (std::vector<Bytes>{Request::WriteRegister(0x00, 0xB1), Request::WriteRegister(0x20, 0x07),
                                        Request::SetChannel(6), Request::StoreDefaults()}));
  EXPECT_TRUE(board.defaultsStored);
  EXPECT_FALSE(board.IsOpen());
  EXPECT_TRUE(sink.entries.empty());
}

TEST_F(CommandFixture, QuickFrequencyIsClampedBeforeTheSummaryAndTheChannel) {
  for (double formed : {86.0 + 0.1 * 9, 113.0}) {
    board.writes.clear();
    statuses.clear();
    Shown(RunQuickSetting(
        state, link, PortChoice{},
        [&](const QuickSettings& s) {
          QuickSettings edited = s;
          edited.frequency = formed;
          return std::optional<QuickSettings>(edited);
        },
        Writing()));
    const bool low = formed < 87.5;
    EXPECT_NE(statuses.at(0).find(low ? "87.5 MHz" : "108.0 MHz"), std::string::npos);
    EXPECT_EQ(board.writes.back(), Request::SetChannel(low ? 0 : 205));
  }
}

TEST_F(CommandFixture, QuickSecondOpenFailsAfterTheSummaryAndWritesNothing) {
  allowedOpens = 1;
  const auto result = Shown(RunQuickSetting(
      state, link, PortChoice{2, {}}, [](const QuickSettings& s) { return std::optional<QuickSettings>(s); },
      Writing()));
  EXPECT_EQ(result, CommandOutcome::WritePortNotOpened);
  EXPECT_EQ(sink.Texts(), Strings{"Can not open COM2"});
  EXPECT_EQ(statuses.size(), 1u);
  EXPECT_EQ(board.writes.size(), 1u);
}

TEST_F(CommandFixture, AdvancedWritesTheFullSetThenShowsTheDump) {
  board.registers[2] = 0x06;
  const auto result = Shown(RunAdvancedSetting(state, link, PortChoice{}, [&](const TransmitterFields& f) {
    EXPECT_FALSE(board.IsOpen());
    TransmitterFields edited = f;
    edited[FIELD_PL] = 1;
    return std::optional<TransmitterFields>(edited);
  }));
  EXPECT_EQ(result, CommandOutcome::Applied);
  ASSERT_EQ(board.writes.size(), 9u);
  const std::uint8_t order[] = {0xE0, 0x00, 0x10, 0x20, 0x30, 0x40, 0x60, 0x80};
  for (std::size_t i = 0; i < 8; ++i) EXPECT_EQ(board.writes[i + 1][3], order[i]);
  EXPECT_EQ(board.writes[4][4] & 3, 3);
  EXPECT_EQ(writesAtStatus, std::vector<std::size_t>{9});
  EXPECT_NE(statuses.at(0).find(" PL = 3\r\n"), std::string::npos);
  // The snapshot now holds the written bytes; A5, A7 and the channel are as read.
  EXPECT_EQ(state.snapshot.bytes[SNAPSHOT_A2], 0x07);
  EXPECT_EQ(state.snapshot.bytes[SNAPSHOT_CHANNEL], board.channel);
}

TEST_F(CommandFixture, AdvancedDumpAppearsAlsoWhenTheSecondOpenFails) {
  allowedOpens = 1;
  const auto result = Shown(RunAdvancedSetting(state, link, PortChoice{5, {}}, [](const TransmitterFields&) {
    return std::optional<TransmitterFields>(DefaultFields());
  }));
  EXPECT_EQ(result, CommandOutcome::WritePortNotOpened);
  EXPECT_EQ(sink.Texts(), Strings{"Can not open COM5"});
  EXPECT_EQ(board.writes.size(), 1u);
  ASSERT_EQ(statuses.size(), 1u);
  EXPECT_NE(statuses[0].find(" P = 2a58H"), std::string::npos);
}

TEST_F(CommandFixture, AdvancedCancelWritesNothing) {
  const auto result = Shown(RunAdvancedSetting(
      state, link, PortChoice{}, [](const TransmitterFields&) { return std::optional<TransmitterFields>(); }));
  EXPECT_EQ(result, CommandOutcome::Cancelled);
  EXPECT_EQ(board.writes.size(), 1u);
  EXPECT_TRUE(statuses.empty());
}

TEST_F(CommandFixture, AdvancedEchoErrorsAreReportedAndEveryWriteStillGoesOut) {
  // The read, then the eight echoes: the third echo has one byte changed.
  board.script = {Step{PowerOnBytes()}};
  Shown(RunAdvancedSetting(state, link, PortChoice{}, [&](const TransmitterFields& f) {
    const RegisterBytes r = EncodeFields(f);
    const std::pair<std::uint8_t, std::uint8_t> writes[] = {{0xE0, 5},    {0, r.a0},    {0x10, r.a1}, {0x20, r.a2},
                                                            {0x30, r.a3}, {0x40, r.a4}, {0x60, r.a6}, {0x80, r.a8}};
    for (std::size_t i = 0; i < 8; ++i) {
      const Bytes echo =
          Request::WriteRegister(writes[i].first, static_cast<std::uint8_t>(writes[i].second ^ (i == 2 ? 1 : 0)));
      board.script.push_back(Step{echo});
    }
    return std::optional<TransmitterFields>(f);
  }));
  EXPECT_EQ(sink.Texts(), Strings{"ReadData error"});
  EXPECT_EQ(board.writes.size(), 9u);
}

TEST_F(CommandFixture, AdvancedEchoErrorIsTheStatusFirstLine) {
  // The read, then no echo at all.
  board.script = {Step{PowerOnBytes()}};
  board.script.insert(board.script.end(), 8, Step{});
  const auto result = Shown(RunAdvancedSetting(
      state, link, PortChoice{}, [](const TransmitterFields& f) { return std::optional<TransmitterFields>(f); }));
  EXPECT_EQ(result, CommandOutcome::WriteFailed);
  EXPECT_EQ(sink.Texts(), Strings(8, "ReadData error"));
  ASSERT_EQ(statuses.size(), 1u);
  EXPECT_EQ(statuses[0],
            std::string(TEXT_NOT_EVERY_REGISTER_WRITTEN) + "\r\n" + FormatRegisterDump(DecodeFields(state.snapshot)));
}

// Writes are numbered over the session: 1 is the read request.
class AdvancedFailingWrite : public CommandFixture, public ::testing::WithParamInterface<int> {};

TEST_P(AdvancedFailingWrite, AnyFailedWriteLeadsTheDumpWithTheWarning) {
  board.failingWrites = {GetParam()};
  const auto result = Shown(RunAdvancedSetting(
      state, link, PortChoice{}, [](const TransmitterFields& f) { return std::optional<TransmitterFields>(f); }));
  EXPECT_EQ(result, CommandOutcome::WriteFailed);
  EXPECT_EQ(sink.Texts(), (Strings{"Write error", "ReadData error"}));
  EXPECT_EQ(board.writes.size(), 9u);
  ASSERT_EQ(statuses.size(), 1u);
  EXPECT_EQ(statuses[0].rfind(std::string(TEXT_NOT_EVERY_REGISTER_WRITTEN) + "\r\n PE = 1\r\n", 0), 0u) << statuses[0];
}

INSTANTIATE_TEST_SUITE_P(EachWrite, AdvancedFailingWrite, ::testing::Range(2, 10));

class QuickFailingWrite : public CommandFixture, public ::testing::WithParamInterface<int> {};

TEST_P(QuickFailingWrite, SummaryIsShownAgainUnderTheWarning) {
  board.failingWrites = {GetParam()};
  const auto result = Shown(RunQuickSetting(
      state, link, PortChoice{},
      [](const QuickSettings& s) {
        QuickSettings edited = s;
        edited.storeAsDefault = true;
        return std::optional<QuickSettings>(edited);
      },
      Writing()));
  EXPECT_EQ(result, CommandOutcome::WriteFailed);
  EXPECT_EQ(board.writes.size(), 5u);
  const std::string summary = FormatQuickSummary(state.quick);
  EXPECT_EQ(statuses, (Strings{summary, std::string(TEXT_NOT_EVERY_REGISTER_WRITTEN) + "\r\n" + summary}));
  EXPECT_EQ(writesAtStatus, (std::vector<std::size_t>{1, 5}));
}

INSTANTIATE_TEST_SUITE_P(EachWrite, QuickFailingWrite, ::testing::Range(2, 6));

TEST_F(CommandFixture, WritesThatAllSucceedCarryNoWarning) {
  EXPECT_EQ(Shown(RunQuickSetting(
                state, link, PortChoice{}, [](const QuickSettings& s) { return std::optional<QuickSettings>(s); },
                Writing())),
            CommandOutcome::Applied);
  EXPECT_EQ(Shown(RunAdvancedSetting(state, link, PortChoice{},
                                     [](const TransmitterFields& f) { return std::optional<TransmitterFields>(f); })),
            CommandOutcome::Applied);
  ASSERT_EQ(statuses.size(), 2u);
  for (const auto& status : statuses) EXPECT_EQ(status.find(TEXT_NOT_EVERY_REGISTER_WRITTEN), std::string::npos);
}

struct WrittenP {
  std::int32_t typed;
  std::uint8_t a3, a4;
  const char* dumped;
};

class AdvancedDumpOfP : public CommandFixture, public ::testing::WithParamInterface<WrittenP> {};

TEST_P(AdvancedDumpOfP, ShowsTheBitsSentNotTheValueTyped) {
  const auto& row = GetParam();
  Shown(RunAdvancedSetting(state, link, PortChoice{}, [&](const TransmitterFields& f) {
    TransmitterFields edited = f;
    edited[FIELD_P] = row.typed;
    return std::optional<TransmitterFields>(edited);
  }));
  ASSERT_EQ(board.writes.size(), 9u);
  EXPECT_EQ(board.writes[5], (Bytes{0xAA, 3, 1, 0x30, row.a3}));
  EXPECT_EQ(board.writes[6], (Bytes{0xAA, 3, 1, 0x40, row.a4}));
  ASSERT_EQ(statuses.size(), 1u);
  EXPECT_NE(statuses[0].find(std::string("\r\n P = ") + row.dumped + "H\r\n"), std::string::npos) << statuses[0];
}

INSTANTIATE_TEST_SUITE_P(Values, AdvancedDumpOfP,
                         ::testing::Values(WrittenP{0x2A58, 0x58, 0x2A, "2a58"}, WrittenP{0x3FFF, 0xFF, 0x3F, "3fff"},
                                           WrittenP{0xFFFFF, 0xFF, 0x3F, "3fff"}, WrittenP{0x12345, 0x45, 0x23, "2345"},
                                           WrittenP{0x4000, 0x00, 0x00, "0"}, WrittenP{-1, 0xFF, 0x3F, "3fff"}));

struct ComPortRow {
  std::int32_t before;
  std::string text;
  std::int32_t after;
};

class ComPortRows : public ::testing::TestWithParam<ComPortRow> {};

TEST_P(ComPortRows, ReadsTheTextAsPercentD) {
  std::int32_t port = GetParam().before;
  ApplyComPortText(port, GetParam().text);
  EXPECT_EQ(port, GetParam().after) << '"' << GetParam().text << '"';
}

INSTANTIATE_TEST_SUITE_P(Rows, ComPortRows,
                         ::testing::Values(ComPortRow{3, "3", 3}, ComPortRow{1, "7abc", 7}, ComPortRow{1, "  12", 12},
                                           ComPortRow{4, "abc", 4}, ComPortRow{1, "-2", -2}, ComPortRow{5, "0", 1},
                                           ComPortRow{0, "", 0}, ComPortRow{6, "", 6}, ComPortRow{0, "x", 1},
                                           ComPortRow{1, "+25", 25}, ComPortRow{9, "- 5", 9},
                                           ComPortRow{9, "2147483647", 2147483647},
                                           ComPortRow{9, "-2147483648", -2147483647 - 1},
                                           ComPortRow{9, "2147483648", 9}, ComPortRow{9, "99999999999999999999999", 9},
                                           ComPortRow{0, "-99999999999", 1}, ComPortRow{9, "\t\n 8", 8}));

TEST(ComPortText, SignedDecimal) {
  EXPECT_EQ(ComPortText(3), "3");
  EXPECT_EQ(ComPortText(-2), "-2");
  EXPECT_EQ(ComPortText(0), "0");
}

}  // namespace
}  // namespace vorna::test
