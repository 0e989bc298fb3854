// The "Advanced" menu item against the fake board: the dialog's opening
// state, the full register write on OK in its fixed order, the dump, and
// what the window keeps of it.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <string>
#include <vector>

#include "command_fixture.h"
#include "dialogs/advanced_setting_dialog.h"
#include "dialogs/dialog_checks.h"
#include "model/transmitter_fields.h"
#include "support/requests.h"

namespace vorna::test {
namespace {

using Step = FakeBoard::ReadStep;
using AdvancedAnswer = std::function<void(AdvancedSettingDialog&)>;

void PressOk(AdvancedSettingDialog& d) { QTest::mouseClick(&d.okButton(), Qt::LeftButton); }

void TypeHex(AdvancedSettingDialog& d, const QString& text) {
  d.hexBox().clear();
  QTest::keyClicks(&d.hexBox(), text);
}

// The register writes of a full set, in the order they go out.
std::vector<Bytes> FullWrite(const RegisterBytes& r) {
  std::vector<Bytes> writes = {Request::WriteRegister(0xE0, 0x05)};
  for (const auto& [address, value] :
       {std::pair{0x00, r.a0}, std::pair{0x10, r.a1}, std::pair{0x20, r.a2}, std::pair{0x30, r.a3},
        std::pair{0x40, r.a4}, std::pair{0x60, r.a6}, std::pair{0x80, r.a8}}) {
    writes.push_back(Request::WriteRegister(static_cast<std::uint8_t>(address), value));
  }
  return writes;
}

class AdvancedCommandTest : public CommandTest {
 protected:
  AdvancedCommandTest() {
    // Bytes the fields do not cover, to see that they are kept.
    board.registers[5] = 0x55;
    board.registers[7] = 0x77;
    board.channel = 42;
  }

  int RunAdvanced(const AdvancedAnswer& answer) {
    DialogAnswerer<AdvancedSettingDialog> answerer([this, answer](AdvancedSettingDialog& dialog) {
      portOpenWhileShown = portOpenWhileShown || board.IsOpen();
      answer(dialog);
    });
    window.action(ID_ADVANCED_SETTING)->trigger();
    busyWhileDialog = answerer.busyWhileShown;
    return answerer.shown;
  }

  RegisterSnapshot BoardSnapshot() const {
    RegisterSnapshot snapshot;
    std::copy(std::begin(board.registers), std::end(board.registers), snapshot.bytes.begin());
    snapshot.bytes[SNAPSHOT_CHANNEL] = board.channel;
    return snapshot;
  }

  bool portOpenWhileShown = false;
  bool busyWhileDialog = false;
};

TEST_F(AdvancedCommandTest, PortThatCannotBeOpenedShowsOneBoxAndNoDialog) {
  board.refusedDevices = {"/dev/fake1"};
  window.SetStatusText("before");
  EXPECT_EQ(RunAdvanced(PressOk), 0);
  EXPECT_EQ(boxes, Strings{"Can not open COM1"});
  EXPECT_TRUE(board.writes.empty());
  EXPECT_EQ(window.StatusText(), "before");
}

TEST_F(AdvancedCommandTest, FailedReadShowsItsBoxAndNoDialog) {
  board.script = {Step{{}, true}};
  window.SetStatusText("before");
  EXPECT_EQ(RunAdvanced(PressOk), 0);
  EXPECT_EQ(boxes, Strings{"Read error"});
  EXPECT_EQ(board.writes, std::vector<Bytes>{READ_REQUEST});
  EXPECT_FALSE(board.IsOpen());
  EXPECT_EQ(window.StatusText(), "before");
}

TEST_F(AdvancedCommandTest, DialogOpensOnPeWithTheBoardValueAndThePortClosed) {
  board.registers[0] = 0x20;  // PE 0
  EXPECT_EQ(RunAdvanced([this](AdvancedSettingDialog& d) {
              EXPECT_EQ(d.parentWidget(), &window);
              EXPECT_EQ(Selected(d.fieldList()), "PE");
              EXPECT_EQ(d.helpPane().text().toStdString(), HelpText(FIELD_PE));
              EXPECT_EQ(Items(d.valueList()), (Strings{"0", "1"}));
              EXPECT_EQ(Selected(d.valueList()), "0");
              EXPECT_FALSE(d.hexBox().isVisible());
              EXPECT_FALSE(d.hexLabel().isVisible());
              EXPECT_TRUE(d.valueList().isVisible());
              EXPECT_EQ(d.focusWidget(), &d.fieldList());
              d.fieldList().setCurrentIndex(FIELD_P);
              EXPECT_EQ(d.hexBox().text(), QStringLiteral("2a58"));
              EXPECT_TRUE(d.hexBox().isVisible());
              EXPECT_TRUE(d.hexLabel().isVisible());
              EXPECT_FALSE(d.valueList().isVisible());
              d.reject();
            }),
            1);
  EXPECT_FALSE(portOpenWhileShown);
  EXPECT_FALSE(busyWhileDialog);
  EXPECT_EQ(window.state().fields, DecodeFields(BoardSnapshot()));
}

TEST_F(AdvancedCommandTest, OkWritesTheFullSetInOrderThenShowsTheDump) {
  window.SetStatusText("before");
  const RegisterSnapshot read = BoardSnapshot();
  RunAdvanced([](AdvancedSettingDialog& d) {
    d.fieldList().setCurrentIndex(FIELD_PL);
    d.valueList().setCurrentIndex(1);  // "3"
    d.fieldList().setCurrentIndex(FIELD_P);
    TypeHex(d, QStringLiteral("1f40"));
    d.fieldList().setCurrentIndex(FIELD_MUTE);
    d.valueList().setCurrentIndex(1);
    PressOk(d);
  });
  TransmitterFields expected = DecodeFields(read);
  expected[FIELD_PL] = 1;
  expected[FIELD_P] = 0x1F40;
  expected[FIELD_MUTE] = 1;
  const RegisterBytes registers = EncodeFields(expected);
  ASSERT_EQ(registers.a2 & 3, 3);
  EXPECT_EQ(WritesAfter(1), FullWrite(registers));
  // The dump comes after the writes and shows PL as its register value.
  EXPECT_EQ(statusAtOpen, (Strings{"before", "before"}));
  EXPECT_EQ(window.StatusText(), FormatRegisterDump(expected));
  EXPECT_NE(window.StatusText().find(" PL = 3\r\n"), std::string::npos);
  EXPECT_NE(window.StatusText().find(" P = 1f40H\r\n"), std::string::npos);
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(busyAtOpen, (std::vector<bool>{true, true}));
  // The window keeps the fields written, PL as its index, and the written
  // bytes in its snapshot; A5, A7 and the channel stay as read.
  EXPECT_EQ(window.state().fields, expected);
  const RegisterSnapshot& kept = window.state().snapshot;
  EXPECT_EQ(kept.bytes[SNAPSHOT_A0], registers.a0);
  EXPECT_EQ(kept.bytes[SNAPSHOT_A1], registers.a1);
  EXPECT_EQ(kept.bytes[SNAPSHOT_A2], registers.a2);
  EXPECT_EQ(kept.bytes[SNAPSHOT_A3], registers.a3);
  EXPECT_EQ(kept.bytes[SNAPSHOT_A4], registers.a4);
  EXPECT_EQ(kept.bytes[SNAPSHOT_A6], registers.a6);
  EXPECT_EQ(kept.bytes[SNAPSHOT_A8], registers.a8);
  EXPECT_EQ(kept.bytes[SNAPSHOT_A5], 0x55);
  EXPECT_EQ(kept.bytes[SNAPSHOT_A7], 0x77);
  EXPECT_EQ(kept.bytes[SNAPSHOT_CHANNEL], 42);
}

TEST_F(AdvancedCommandTest, ValueTheListDoesNotOfferIsWrittenBackUnchanged) {
  board.registers[0] = 0xE1;  // AG 3
  board.registers[2] = 0x05;  // PL test mode 1
  RunAdvanced([](AdvancedSettingDialog& d) {
    d.fieldList().setCurrentIndex(FIELD_AG);
    EXPECT_EQ(Selected(d.valueList()), "none");
    PressOk(d);
  });
  const std::vector<Bytes> writes = WritesAfter(1);
  ASSERT_EQ(writes.size(), 8u);
  EXPECT_EQ(writes[1][4] >> 6, 3);  // A0: AG
  EXPECT_EQ(writes[3][4] & 3, 1);   // A2: PL
  EXPECT_NE(window.StatusText().find(" AG = 3\r\n"), std::string::npos);
}

TEST_F(AdvancedCommandTest, RestoreDefaultsWritesEveryDefault) {
  RunAdvanced([](AdvancedSettingDialog& d) {
    d.fieldList().setCurrentIndex(FIELD_P);
    TypeHex(d, QStringLiteral("1f40"));
    d.restoreDefaultsBox().setChecked(true);
    PressOk(d);
  });
  TransmitterFields defaults = DefaultFields();
  EXPECT_EQ(WritesAfter(1), FullWrite(EncodeFields(defaults)));
  EXPECT_EQ(window.StatusText(), FormatRegisterDump(defaults));
}

TEST_F(AdvancedCommandTest, CancelWritesNothingAndKeepsTheStatus) {
  window.SetStatusText("before");
  const TransmitterFields decoded = DecodeFields(BoardSnapshot());
  for (const AdvancedAnswer& cancel : std::vector<AdvancedAnswer>{
           [](AdvancedSettingDialog& d) { QTest::mouseClick(&d.cancelButton(), Qt::LeftButton); },
           [](AdvancedSettingDialog& d) { QTest::keyClick(&d.fieldList(), Qt::Key_Escape); },
           [](AdvancedSettingDialog& d) { d.close(); }}) {
    board.writes.clear();
    RunAdvanced([&cancel](AdvancedSettingDialog& d) {
      d.valueList().setCurrentIndex(0);
      d.restoreDefaultsBox().setChecked(true);
      cancel(d);
    });
    EXPECT_EQ(board.writes, std::vector<Bytes>{READ_REQUEST});
    EXPECT_EQ(window.StatusText(), "before");
    EXPECT_EQ(window.state().fields, decoded);
  }
  EXPECT_TRUE(boxes.empty());
}

TEST_F(AdvancedCommandTest, PortGoneForTheWritesStillShowsTheDump) {
  allowedOpens = 1;
  window.state().portNumber = 3;
  RunAdvanced([](AdvancedSettingDialog& d) {
    d.valueList().setCurrentIndex(0);  // PE 0
    PressOk(d);
  });
  EXPECT_EQ(boxes, Strings{"Can not open COM3"});
  EXPECT_EQ(board.writes, std::vector<Bytes>{READ_REQUEST});
  TransmitterFields expected = DecodeFields(BoardSnapshot());
  expected[FIELD_PE] = 0;
  EXPECT_EQ(window.StatusText(), FormatRegisterDump(expected));
  EXPECT_FALSE(busyAtBox);
}

TEST_F(AdvancedCommandTest, EveryWriteIsAttemptedWhateverTheOthersReport) {
  board.failingWrites = {3, 6};
  RunAdvanced(PressOk);
  EXPECT_EQ(board.writes.size(), 9u);
  EXPECT_EQ(boxes, (Strings{"Write error", "ReadData error", "Write error", "ReadData error"}));
  EXPECT_FALSE(busyAtBox);
  const TransmitterFields written = DecodeFields(BoardSnapshot());
  EXPECT_EQ(window.StatusText(), std::string(TEXT_NOT_EVERY_REGISTER_WRITTEN) + "\r\n" + FormatRegisterDump(written));
  EXPECT_FALSE(board.IsOpen());
}

TEST_F(AdvancedCommandTest, BoardThatDoesNotEchoGetsEightBoxesThenTheWarningAboveTheDump) {
  // The read is answered; the eight echoes never come.
  board.script = {Step{Bytes{0x21, 0xB4, 0x06, 0x58, 0x2A, 0x55, 0x1A, 0x77, 0x1B, 42}}};
  board.script.insert(board.script.end(), 8, Step{});
  window.SetStatusText("before");
  RunAdvanced(PressOk);
  EXPECT_EQ(board.writes.size(), 9u);
  EXPECT_EQ(boxes, Strings(8, "ReadData error"));
  const std::string status = window.StatusText();
  EXPECT_EQ(status.substr(0, status.find("\r\n")), TEXT_NOT_EVERY_REGISTER_WRITTEN);
  EXPECT_NE(status.find("\r\n PE = 1\r\n"), std::string::npos) << status;
}

TEST_F(AdvancedCommandTest, PWiderThanItsRegisterShowsTheBitsWritten) {
  RunAdvanced([](AdvancedSettingDialog& d) {
    d.fieldList().setCurrentIndex(FIELD_P);
    TypeHex(d, QStringLiteral("FFFFF"));
    PressOk(d);
  });
  const std::vector<Bytes> writes = WritesAfter(1);
  ASSERT_EQ(writes.size(), 8u);
  EXPECT_EQ(writes[4], (Bytes{0xAA, 0x03, 0x01, 0x30, 0xFF}));
  EXPECT_EQ(writes[5], (Bytes{0xAA, 0x03, 0x01, 0x40, 0x3F}));
  EXPECT_NE(window.StatusText().find(" P = 3fffH\r\n"), std::string::npos) << window.StatusText();
  EXPECT_EQ(window.StatusText().find("fffffH"), std::string::npos);
  // The dialog read the box as "%x"; the window keeps that value.
  EXPECT_EQ(window.state().fields[FIELD_P], 0xFFFFF);
}

}  // namespace
}  // namespace vorna::test
