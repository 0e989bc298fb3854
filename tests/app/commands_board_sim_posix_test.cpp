// Each board command from the menu, end to end over a pseudo-terminal
// against the virtual board: afterwards the board holds what the dialog
// showed and the user changed.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include <cstdint>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/message_box.h"
#include "command_fixture.h"
#include "dialogs/advanced_setting_dialog.h"
#include "dialogs/com_port_dialog.h"
#include "dialogs/dialog_checks.h"
#include "dialogs/download_dialog.h"
#include "dialogs/quick_setting_dialog.h"
#include "download/download_procedure.h"
#include "download/hex_file.h"
#include "link/device_link.h"
#include "link/serial_posix.h"
#include "model/number_text.h"
#include "model/quick_settings.h"
#include "model/transmitter_fields.h"
#include "support/board_sim.h"
#include "support/recording_sink.h"

namespace vorna::test {
namespace {

// The number under which the virtual board is found; any other names no
// device.
constexpr int SIM_PORT = 9;

// Reads the board's registers through a link of its own.
RegisterSnapshot ReadBoard(const std::string& device) {
  PosixSerialTransport transport;
  RecordingSink sink;
  DeviceLink link(transport, sink);
  EXPECT_TRUE(link.OpenDevice(device));
  const LinkResult<RegisterSnapshot> read = link.ReadRegisters();
  EXPECT_TRUE(read);
  EXPECT_TRUE(sink.entries.empty());
  return read ? read.value() : RegisterSnapshot{};
}

class BoardSimCommandTest : public ::testing::Test {
 protected:
  BoardSimCommandTest() {
    window.UseTransport(transport, [this](int n) {
      return n == SIM_PORT ? PortLookup{sim.device(), {}} : PortLookup{{}, "no such port"};
    });
    window.state().portNumber = SIM_PORT;
    previousHook_ = SetMessageBoxHook([this](QMessageBox& box) { boxes.push_back(box.text().toStdString()); });
    window.show();
  }
  ~BoardSimCommandTest() override {
    SetMessageBoxHook(previousHook_);
    EXPECT_FALSE(watchdog.fired());
  }

  AppPaths Paths() const { return {"VORNA", folder.File("VORNA.ini"), folder.File("VORNAHLP.html")}; }

  TempFolder folder;
  BoardSim sim;
  PosixSerialTransport transport;
  MainWindow window{Paths()};
  std::vector<std::string> boxes;
  ModalWatchdog watchdog;

 private:
  MessageBoxHook previousHook_;
};

TEST_F(BoardSimCommandTest, QuickSettingReachesTheBoardAndItsDefaults) {
  ASSERT_TRUE(sim.ok());
  const RegisterSnapshot before = ReadBoard(sim.device());
  Strings shown;
  DialogAnswerer<QuickSettingDialog> answerer([&shown](QuickSettingDialog& d) {
    shown = {Selected(d.mhzList()),        Selected(d.digitList()),       Selected(d.powerList()),
             Selected(d.audioLevelList()), Selected(d.preEmphasisList()), Selected(d.timeConstantList())};
    d.mhzList().setCurrentIndex(99 - 87);
    d.digitList().setCurrentIndex(7);
    d.powerList().setCurrentIndex(1);
    d.audioLevelList().setCurrentIndex(2);
    d.preEmphasisList().setCurrentIndex(1);
    d.timeConstantList().setCurrentIndex(0);
    d.storeDefaultBox().setChecked(true);
    QTest::mouseClick(&d.okButton(), Qt::LeftButton);
  });
  window.RunCommand(ID_QUICK_SETTING);
  ASSERT_EQ(answerer.shown, 1);
  EXPECT_TRUE(boxes.empty());

  // The dialog showed what the board held.
  const QuickSettings fromBoard = QuickFromSnapshot(before);
  EXPECT_EQ(shown[0] + "." + shown[1], FixedText(fromBoard.frequency, 1));
  EXPECT_EQ(shown[2], std::to_string(OUTPUT_POWER_MW[fromBoard.powerIndex]));
  EXPECT_EQ(shown[3], std::to_string(AUDIO_LEVEL_MVRMS[fromBoard.audioLevelIndex]));
  EXPECT_EQ(shown[4], PRE_EMPHASIS_TEXT[fromBoard.preEmphasisIndex]);
  EXPECT_EQ(shown[5], std::to_string(TIME_CONSTANT_US[fromBoard.timeConstantIndex]));

  // The board now holds what was chosen.
  QuickSettings chosen;
  chosen.frequency = 7 * 0.1 + 99;
  chosen.powerIndex = 1;
  chosen.audioLevelIndex = 2;
  chosen.preEmphasisIndex = 1;
  chosen.timeConstantIndex = 0;
  const RegisterSnapshot after = ReadBoard(sim.device());
  EXPECT_EQ(after.bytes[SNAPSHOT_A0], QuickA0(chosen));
  EXPECT_EQ(after.bytes[SNAPSHOT_A2], QuickA2(chosen));
  EXPECT_EQ(after.bytes[SNAPSHOT_CHANNEL], 122);
  EXPECT_EQ(window.StatusText(), FormatQuickSummary(chosen));

  // And keeps it as its power-on state.
  ASSERT_TRUE(sim.WaitForLogLine("# defaults stored in " + sim.statePath()));
  BoardSimSetup setup;
  setup.statePath = sim.statePath();
  BoardSim restarted(setup);
  ASSERT_TRUE(restarted.ok());
  EXPECT_EQ(ReadBoard(restarted.device()), after);
}

TEST_F(BoardSimCommandTest, AdvancedSettingReachesTheBoard) {
  ASSERT_TRUE(sim.ok());
  const RegisterSnapshot before = ReadBoard(sim.device());
  std::string peShown;
  std::string pShown;
  DialogAnswerer<AdvancedSettingDialog> answerer([&](AdvancedSettingDialog& d) {
    peShown = Selected(d.valueList());
    d.fieldList().setCurrentIndex(FIELD_P);
    pShown = d.hexBox().text().toStdString();
    d.hexBox().clear();
    QTest::keyClicks(&d.hexBox(), QStringLiteral("1f40"));
    d.fieldList().setCurrentIndex(FIELD_MUTE);
    d.valueList().setCurrentIndex(1);
    d.fieldList().setCurrentIndex(FIELD_CEX);
    d.valueList().setCurrentIndex(0);
    d.fieldList().setCurrentIndex(FIELD_PL);
    d.valueList().setCurrentIndex(1);
    QTest::mouseClick(&d.okButton(), Qt::LeftButton);
  });
  window.RunCommand(ID_ADVANCED_SETTING);
  ASSERT_EQ(answerer.shown, 1);
  EXPECT_TRUE(boxes.empty());

  TransmitterFields expected = DecodeFields(before);
  EXPECT_EQ(peShown, std::to_string(expected[FIELD_PE]));
  EXPECT_EQ(pShown, HexText(static_cast<std::uint32_t>(expected[FIELD_P])));

  expected[FIELD_P] = 0x1F40;
  expected[FIELD_MUTE] = 1;
  expected[FIELD_CEX] = 0;
  expected[FIELD_PL] = 1;
  const RegisterBytes written = EncodeFields(expected);
  const RegisterSnapshot after = ReadBoard(sim.device());
  EXPECT_EQ(after.bytes[SNAPSHOT_A0], written.a0);
  EXPECT_EQ(after.bytes[SNAPSHOT_A1], written.a1);
  EXPECT_EQ(after.bytes[SNAPSHOT_A2], written.a2);
  EXPECT_EQ(after.bytes[SNAPSHOT_A3], written.a3);
  EXPECT_EQ(after.bytes[SNAPSHOT_A4], written.a4);
  EXPECT_EQ(after.bytes[SNAPSHOT_A6], written.a6);
  EXPECT_EQ(after.bytes[SNAPSHOT_A8], written.a8);
  EXPECT_EQ(DecodeFields(after)[FIELD_P], 0x1F40);
  EXPECT_EQ(window.StatusText(), FormatRegisterDump(expected));
}

TEST_F(BoardSimCommandTest, DownloadDeliversTheUserProgramWindow) {
  ASSERT_TRUE(sim.ok());
  const std::string path = VORNA_TEST_DATA_DIR "/blink.hex";
  DialogAnswerer<DownloadDialog> answerer([&path](DownloadDialog& d) {
    d.pathBox().clear();
    QTest::keyClicks(&d.pathBox(), QString::fromStdString(path));
    QTest::mouseClick(&d.okButton(), Qt::LeftButton);
  });
  window.RunCommand(ID_DOWNLOAD);
  ASSERT_EQ(answerer.shown, 1);
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(window.StatusText(), "Download success");
  EXPECT_EQ(window.state().hexFilePath, path);

  HexImage image;
  RecordingSink sink;
  ASSERT_EQ(LoadHexFile(path, image, sink), 0);
  std::vector<std::uint8_t> programWindow;
  for (std::uint32_t address = USER_PROGRAM_START; address <= image.topAddress; ++address)
    programWindow.push_back(image.bytes[address]);
  ASSERT_TRUE(sim.WaitForLogLine("# program written to " + sim.programPath()));
  EXPECT_EQ(sim.programContents(), programWindow);
}

TEST_F(BoardSimCommandTest, ComPortChoosesThePortTheNextCommandOpens) {
  ASSERT_TRUE(sim.ok());
  window.state().portNumber = 1;
  int quickShown = 0;
  DialogAnswerer<QuickSettingDialog> quick([&quickShown](QuickSettingDialog& d) {
    ++quickShown;
    d.reject();
  });
  window.RunCommand(ID_QUICK_SETTING);
  EXPECT_EQ(boxes, Strings{"Can not open COM1"});
  EXPECT_EQ(quickShown, 0);

  DialogAnswerer<ComPortDialog> comPort([](ComPortDialog& d) {
    d.portBox().setCurrentIndex(SIM_PORT - 1);
    QTest::mouseClick(&d.okButton(), Qt::LeftButton);
  });
  window.RunCommand(ID_COM_PORT);
  EXPECT_EQ(window.state().portNumber, SIM_PORT);
  window.RunCommand(ID_QUICK_SETTING);
  EXPECT_EQ(quickShown, 1);
  EXPECT_EQ(boxes.size(), 1u);
  EXPECT_EQ(window.state().snapshot, ReadBoard(sim.device()));
}

}  // namespace
}  // namespace vorna::test
