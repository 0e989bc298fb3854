// The "Quick" menu item against the fake board: what the dialog shows, what
// goes out on OK and in which order, and what the status pane holds.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QTest>

#include <string>
#include <vector>

#include "command_fixture.h"
#include "dialogs/dialog_checks.h"
#include "dialogs/quick_setting_dialog.h"
#include "model/quick_settings.h"

namespace vorna::test {
namespace {

using Step = FakeBoard::ReadStep;
using QuickAnswer = std::function<void(QuickSettingDialog&)>;

void PressOk(QuickSettingDialog& d) { QTest::mouseClick(&d.okButton(), Qt::LeftButton); }

const Bytes STORE_REQUEST = {0xAA, 0x01, 0x03};

class QuickCommandTest : public CommandTest {
 protected:
  // Runs the menu item; `answer` handles the dialog. Returns how many
  // dialogs were shown.
  int RunQuick(const QuickAnswer& answer) {
    DialogAnswerer<QuickSettingDialog> answerer([this, answer](QuickSettingDialog& dialog) {
      portOpenWhileShown = portOpenWhileShown || board.IsOpen();
      answer(dialog);
    });
    window.action(ID_QUICK_SETTING)->trigger();
    busyWhileDialog = answerer.busyWhileShown;
    return answerer.shown;
  }

  bool portOpenWhileShown = false;
  bool busyWhileDialog = false;
};

TEST_F(QuickCommandTest, PortThatCannotBeOpenedShowsOneBoxAndNoDialog) {
  board.refusedDevices = {"/dev/fake1"};
  window.SetStatusText("before");
  EXPECT_EQ(RunQuick(PressOk), 0);
  EXPECT_EQ(boxes, Strings{"Can not open COM1"});
  EXPECT_EQ(captions, Strings{"VORNA"});
  EXPECT_TRUE(board.writes.empty());
  EXPECT_EQ(window.StatusText(), "before");
  EXPECT_FALSE(busyAtBox);
}

TEST_F(QuickCommandTest, FailedReadShowsItsBoxClosesThePortAndShowsNoDialog) {
  board.script = {Step{Bytes(9, 0x00)}};
  window.SetStatusText("before");
  EXPECT_EQ(RunQuick(PressOk), 0);
  EXPECT_EQ(boxes, Strings{"Read error"});
  EXPECT_EQ(board.writes, std::vector<Bytes>{READ_REQUEST});
  EXPECT_FALSE(board.IsOpen());
  EXPECT_EQ(board.closeCount, 1);
  EXPECT_EQ(window.StatusText(), "before");
}

TEST_F(QuickCommandTest, DialogShowsWhatTheBoardHoldsWithThePortClosed) {
  // 95.7 MHz, 2 mW, 140 mVrms, pre-emphasis off, 50 us.
  board.registers[0] = 0x51;
  board.registers[2] = 0x07;
  board.channel = 82;
  EXPECT_EQ(RunQuick([this](QuickSettingDialog& d) {
              EXPECT_EQ(d.parentWidget(), &window);
              EXPECT_TRUE(d.isModal());
              EXPECT_EQ(Selected(d.mhzList()), "95");
              EXPECT_EQ(Selected(d.digitList()), "7");
              EXPECT_EQ(Selected(d.powerList()), "2");
              EXPECT_EQ(Selected(d.audioLevelList()), "140");
              EXPECT_EQ(Selected(d.preEmphasisList()), "Off");
              EXPECT_EQ(Selected(d.timeConstantList()), "50");
              EXPECT_FALSE(d.storeDefaultBox().isChecked());
              d.reject();
            }),
            1);
  EXPECT_FALSE(portOpenWhileShown);
  EXPECT_FALSE(busyWhileDialog);
  EXPECT_EQ(window.state().quick.powerIndex, 1);
  EXPECT_EQ(window.state().snapshot.bytes[SNAPSHOT_CHANNEL], 82);
}

TEST_F(QuickCommandTest, OkShowsTheSummaryBeforeTheWritesThenWritesInOrder) {
  window.SetStatusText("before");
  RunQuick([](QuickSettingDialog& d) {
    d.mhzList().setCurrentIndex(0);    // 87
    d.digitList().setCurrentIndex(4);  // .9
    d.powerList().setCurrentIndex(1);
    d.audioLevelList().setCurrentIndex(2);
    d.preEmphasisList().setCurrentIndex(1);
    d.timeConstantList().setCurrentIndex(0);
    QTest::mouseClick(&d.storeDefaultBox(), Qt::LeftButton);
    PressOk(d);
  });
  QuickSettings expected;
  expected.frequency = 9 * 0.1 + 87;
  expected.powerIndex = 1;
  expected.audioLevelIndex = 2;
  expected.preEmphasisIndex = 1;
  expected.timeConstantIndex = 0;
  expected.storeAsDefault = true;
  const std::string summary = FormatQuickSummary(expected);
  // The summary stood before the port was opened for the writes.
  EXPECT_EQ(statusAtOpen, (Strings{"before", summary}));
  EXPECT_EQ(window.StatusText(), summary);
  EXPECT_EQ(board.writes, (std::vector<Bytes>{READ_REQUEST,
                                              {0xAA, 0x03, 0x01, 0x00, QuickA0(expected)},
                                              {0xAA, 0x03, 0x01, 0x20, QuickA2(expected)},
                                              {0xAA, 0x02, 0x00, 4},
                                              STORE_REQUEST}));
  EXPECT_TRUE(board.defaultsStored);
  EXPECT_FALSE(board.IsOpen());
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(window.state().quick.frequency, expected.frequency);
  EXPECT_EQ(window.state().quick.audioLevelIndex, 2);
  // The busy cursor showed while the board was talked to, never under the dialog.
  EXPECT_EQ(busyAtOpen, (std::vector<bool>{true, true}));
  EXPECT_FALSE(busyWhileDialog);
}

TEST_F(QuickCommandTest, UntickedBoxSendsNoStoreCommand) {
  RunQuick([](QuickSettingDialog& d) {
    d.mhzList().setCurrentIndex(21);  // 108
    PressOk(d);
  });
  const std::vector<Bytes> writes = WritesAfter(1);
  ASSERT_EQ(writes.size(), 3u);
  EXPECT_EQ(writes[2], (Bytes{0xAA, 0x02, 0x00, 205}));
  EXPECT_FALSE(board.defaultsStored);
  EXPECT_NE(window.StatusText().find("108.0 MHz"), std::string::npos);
}

TEST_F(QuickCommandTest, BoxTickedLastTimeIsUntickedWhenTheDialogOpensAgain) {
  RunQuick([](QuickSettingDialog& d) {
    d.storeDefaultBox().setChecked(true);
    PressOk(d);
  });
  EXPECT_EQ(board.writes.back(), STORE_REQUEST);
  bool tickedAtOpening = true;
  RunQuick([&tickedAtOpening](QuickSettingDialog& d) {
    tickedAtOpening = d.storeDefaultBox().isChecked();
    d.reject();
  });
  EXPECT_FALSE(tickedAtOpening);
}

struct ChannelCase {
  const char* name;
  int fromBoard;
  int written;
  const char* summaryFrequency;
};

void PrintTo(const ChannelCase& c, std::ostream* os) { *os << c.name; }

class QuickChannelCommand : public QuickCommandTest, public ::testing::WithParamInterface<ChannelCase> {};

// OK without touching the frequency lists.
TEST_P(QuickChannelCommand, WritesTheChannelTheListsShowed) {
  board.channel = static_cast<std::uint8_t>(GetParam().fromBoard);
  RunQuick(PressOk);
  EXPECT_EQ(board.writes.at(3), (Bytes{0xAA, 0x02, 0x00, static_cast<std::uint8_t>(GetParam().written)}));
  EXPECT_NE(window.StatusText().find(GetParam().summaryFrequency), std::string::npos) << window.StatusText();
}

INSTANTIATE_TEST_SUITE_P(Channels, QuickChannelCommand,
                         ::testing::Values(ChannelCase{"Bottom", 0, 0, "87.5 MHz"},
                                           ChannelCase{"Channel13", 13, 13, "88.8 MHz"},
                                           ChannelCase{"Top", 205, 205, "108.0 MHz"},
                                           // 108.1: the tenth is not offered, so it counts as 0.
                                           ChannelCase{"Above108", 206, 205, "108.0 MHz"},
                                           // 113.0: no MHz selected, 86.0 is clamped to the bottom.
                                           ChannelCase{"FarAbove", 255, 0, "87.5 MHz"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(QuickCommandTest, CancelSendsNothingMoreAndKeepsTheStatus) {
  window.SetStatusText("before");
  for (const QuickAnswer& cancel :
       std::vector<QuickAnswer>{[](QuickSettingDialog& d) { QTest::mouseClick(&d.cancelButton(), Qt::LeftButton); },
                                [](QuickSettingDialog& d) { QTest::keyClick(&d.mhzList(), Qt::Key_Escape); },
                                [](QuickSettingDialog& d) { d.close(); }}) {
    board.writes.clear();
    statusAtOpen.clear();
    RunQuick([&cancel](QuickSettingDialog& d) {
      d.mhzList().setCurrentIndex(5);
      d.storeDefaultBox().setChecked(true);
      cancel(d);
    });
    EXPECT_EQ(board.writes, std::vector<Bytes>{READ_REQUEST});
    EXPECT_EQ(statusAtOpen.size(), 1u);
    EXPECT_EQ(window.StatusText(), "before");
  }
  EXPECT_TRUE(boxes.empty());
}

TEST_F(QuickCommandTest, PortGoneForTheWritesShowsTheSummaryAndWritesNothing) {
  allowedOpens = 1;
  window.state().portNumber = 4;
  RunQuick(PressOk);
  EXPECT_EQ(boxes, Strings{"Can not open COM4"});
  EXPECT_EQ(board.writes, std::vector<Bytes>{READ_REQUEST});
  EXPECT_EQ(window.StatusText(), FormatQuickSummary(window.state().quick));
  EXPECT_NE(window.StatusText().find("88.1 MHz"), std::string::npos);
  EXPECT_FALSE(busyAtBox);
}

TEST_F(QuickCommandTest, WriteErrorsAreReportedOneByOneAndTheRestStillGoesOut) {
  // Writes are numbered over the session: 1 is the read, 2 the A0 write.
  board.failingWrites = {2, 4};
  RunQuick([](QuickSettingDialog& d) {
    d.storeDefaultBox().setChecked(true);
    PressOk(d);
  });
  EXPECT_EQ(board.writes.size(), 5u);
  EXPECT_EQ(board.writes.back(), STORE_REQUEST);
  EXPECT_EQ(boxes, (Strings{"Write error", "ReadData error", "WriteFile error"}));
  EXPECT_EQ(captions, (Strings{"VORNA", "VORNA", "VORNA"}));
  EXPECT_FALSE(busyAtBox);
  EXPECT_FALSE(board.IsOpen());
  // The summary stays, under a first line that says the board may differ.
  EXPECT_EQ(window.StatusText(),
            std::string(TEXT_NOT_EVERY_REGISTER_WRITTEN) + "\r\n" + FormatQuickSummary(window.state().quick));
}

TEST_F(QuickCommandTest, BoardThatDoesNotEchoGetsItsBoxesThenTheWarningAboveTheSummary) {
  board.script = {Step{Bytes{0x21, 0xB4, 0x06, 0x58, 0x2A, 0x00, 0x1A, 0x00, 0x1B, 6}}, Step{}, Step{}, Step{}};
  RunQuick(PressOk);
  EXPECT_EQ(board.writes.size(), 4u);
  EXPECT_EQ(boxes, (Strings{"ReadData error", "ReadData error"}));
  EXPECT_EQ(window.StatusText(),
            std::string(TEXT_NOT_EVERY_REGISTER_WRITTEN) + "\r\n" + FormatQuickSummary(window.state().quick));
  EXPECT_NE(window.StatusText().find("\r\n    88.1 MHz\r\n"), std::string::npos);
}

TEST_F(QuickCommandTest, OpensThePortTheWindowHolds) {
  window.state().portNumber = 12;
  RunQuick(PressOk);
  EXPECT_EQ(board.opened, (Strings{"/dev/fake12", "/dev/fake12"}));
}

}  // namespace
}  // namespace vorna::test
