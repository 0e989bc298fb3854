// The "Save Board Settings..." and "Load Board Settings..." menu items: the
// file chooser, the confirmation, the writes, the boxes and the status pane,
// against the fake board (between two virtual boards in
// commands_profile_posix_test.cpp).

#include <gtest/gtest.h>

#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

#include <fstream>
#include <string>
#include <vector>

#include "command_fixture.h"
#include "commands/profile.h"
#include "dialogs/download_dialog.h"
#include "support/recording_sink.h"

namespace vorna::test {
namespace {

using Strings = std::vector<std::string>;

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

class ProfileCommandTest : public CommandTest {
 protected:
  ProfileCommandTest() {
    board.registers[0] = 0xD6;
    board.channel = 205;
  }

  // Every box is recorded by the fixture; a confirmation is answered with
  // `confirm`.
  void AnswerConfirmationWith(bool confirm) {
    SetMessageBoxHook([this, confirm](QMessageBox& box) {
      boxes.push_back(box.text().toStdString());
      captions.push_back(box.windowTitle().toStdString());
      if (QAbstractButton* cancel = box.button(QMessageBox::Cancel)) {
        confirmations.push_back(box.text().toStdString());
        defaultIsOk = box.defaultButton() == box.button(QMessageBox::Ok);
        (confirm ? box.button(QMessageBox::Ok) : cancel)->click();
      }
    });
  }

  std::string WriteProfile(const std::string& name, const BoardProfile& profile) {
    const std::string path = folder.File(name);
    EXPECT_TRUE(WriteProfileFile(path, profile));
    return path;
  }

  Strings confirmations;
  bool defaultIsOk = false;
};

BoardProfile Wanted() {
  BoardProfile p;
  p.fields.values = {1, 0, 1, 0, 1, 2, 0, 1, 1, 1, 0x1F40, 0, 1, 2};
  p.channel = 108;
  return p;
}

TEST_F(ProfileCommandTest, SaveWritesTheChosenFileAndShowsTheDump) {
  const std::string path = folder.File("board.vprof");
  ChooserAnswer chooser(path);
  window.action(ID_SAVE_PROFILE)->trigger();
  ASSERT_EQ(chooser.modes, std::vector<QFileDialog::AcceptMode>{QFileDialog::AcceptSave});
  EXPECT_EQ(chooser.filters, (QStringList{PROFILE_FILE_FILTER, ALL_FILES_FILTER}));
  EXPECT_EQ(board.writes, std::vector<Bytes>{READ_REQUEST});
  EXPECT_FALSE(board.IsOpen());
  EXPECT_TRUE(boxes.empty());
  RegisterSnapshot snapshot;
  std::copy(std::begin(board.registers), std::end(board.registers), snapshot.bytes.begin());
  snapshot.bytes[SNAPSHOT_CHANNEL] = board.channel;
  EXPECT_EQ(ReadText(path), FormatProfile(ProfileFromSnapshot(snapshot)));
  EXPECT_EQ(window.StatusText(), FormatProfileDump(ProfileFromSnapshot(snapshot)));
}

TEST_F(ProfileCommandTest, SaveAddsTheSuffixToABareName) {
  ChooserAnswer chooser(folder.File("bench"));
  window.RunCommand(ID_SAVE_PROFILE);
  EXPECT_FALSE(ReadText(folder.File("bench.vprof")).empty());
}

TEST_F(ProfileCommandTest, SaveCancelledTouchesNothing) {
  window.SetStatusText("before");
  ChooserAnswer chooser("");
  window.RunCommand(ID_SAVE_PROFILE);
  EXPECT_EQ(chooser.modes.size(), 1u);
  EXPECT_TRUE(board.opened.empty());
  EXPECT_EQ(window.StatusText(), "before");
}

TEST_F(ProfileCommandTest, SaveToAPortThatIsGoneShowsItsBoxAndWritesNoFile) {
  window.SetStatusText("before");
  allowedOpens = 0;
  const std::string path = folder.File("board.vprof");
  ChooserAnswer chooser(path);
  window.RunCommand(ID_SAVE_PROFILE);
  EXPECT_EQ(boxes, Strings{"Can not open COM1"});
  EXPECT_EQ(captions, Strings{"VORNA"});
  EXPECT_FALSE(std::filesystem::exists(path));
  EXPECT_EQ(window.StatusText(), "before");
}

TEST_F(ProfileCommandTest, LoadConfirmsWithTheDumpThenWritesAsTheAdvancedSetting) {
  const std::string path = WriteProfile("wanted.vprof", Wanted());
  AnswerConfirmationWith(true);
  ChooserAnswer chooser(path);
  window.RunCommand(ID_LOAD_PROFILE);
  ASSERT_EQ(chooser.modes, std::vector<QFileDialog::AcceptMode>{QFileDialog::AcceptOpen});
  ASSERT_EQ(boxes.size(), 1u);
  QString dump = QString::fromStdString(FormatProfileDump(Wanted())).replace("\r\n", "\n");
  EXPECT_EQ(boxes[0], "Write these settings to the board?\n\n" + dump.toStdString());
  EXPECT_EQ(confirmations, Strings{boxes[0]});
  EXPECT_EQ(captions, Strings{"VORNA"});
  EXPECT_TRUE(defaultIsOk);
  EXPECT_TRUE(statusAtOpen.size() == 1) << "the port opens once, after the confirmation";
  const std::vector<Bytes> expected = {
      {0xAA, 0x03, 0x01, 0xE0, 0x05}, {0xAA, 0x03, 0x01, 0x00, 0xA5}, {0xAA, 0x03, 0x01, 0x10, 0xF4},
      {0xAA, 0x03, 0x01, 0x20, 0x07}, {0xAA, 0x03, 0x01, 0x30, 0x40}, {0xAA, 0x03, 0x01, 0x40, 0x1F},
      {0xAA, 0x03, 0x01, 0x60, 0x08}, {0xAA, 0x03, 0x01, 0x80, 0x1A}, {0xAA, 0x02, 0x00, 0x6C}};
  EXPECT_EQ(board.writes, expected);
  EXPECT_FALSE(board.defaultsStored);
  EXPECT_EQ(window.StatusText(), FormatProfileDump(Wanted()));
}

TEST_F(ProfileCommandTest, LoadCancelledAtTheConfirmationSendsNothing) {
  window.SetStatusText("before");
  const std::string path = WriteProfile("wanted.vprof", Wanted());
  AnswerConfirmationWith(false);
  ChooserAnswer chooser(path);
  window.RunCommand(ID_LOAD_PROFILE);
  EXPECT_EQ(confirmations.size(), 1u);
  EXPECT_TRUE(board.opened.empty());
  EXPECT_TRUE(board.writes.empty());
  EXPECT_EQ(window.StatusText(), "before");
}

TEST_F(ProfileCommandTest, LoadOfABadFileShowsEveryProblemWithItsLineAndSendsNothing) {
  window.SetStatusText("before");
  std::string text = FormatProfile(Wanted());
  text.replace(text.find("AG = 2"), 6, "AG = 9");
  text += "VOLUME = 3\n";
  const std::string path = folder.File("bad.vprof");
  std::ofstream(path) << text;
  AnswerConfirmationWith(true);
  ChooserAnswer chooser(path);
  window.RunCommand(ID_LOAD_PROFILE);
  EXPECT_EQ(boxes, Strings{path + ":11: AG = 9 is out of range (0 to 3)\n" + path + ":21: unknown field \"VOLUME\""});
  EXPECT_EQ(captions, Strings{"VORNA"});
  EXPECT_TRUE(confirmations.empty());
  EXPECT_TRUE(board.opened.empty());
  EXPECT_EQ(window.StatusText(), "before");
}

TEST_F(ProfileCommandTest, LoadWithThePortGoneShowsItsBoxAndStillTheDump) {
  const std::string path = WriteProfile("wanted.vprof", Wanted());
  allowedOpens = 0;
  AnswerConfirmationWith(true);
  ChooserAnswer chooser(path);
  window.RunCommand(ID_LOAD_PROFILE);
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[1], "Can not open COM1");
  EXPECT_TRUE(board.writes.empty());
  EXPECT_EQ(window.StatusText(), FormatProfileDump(Wanted()));
}

}  // namespace
}  // namespace vorna::test
