// The "Download" menu item against the fake board: the dialog as the source
// of the path, the path kept on OK, and the status pane at the end.

#include <gtest/gtest.h>

#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "command_fixture.h"
#include "dialogs/dialog_checks.h"
#include "dialogs/download_dialog.h"
#include "link/port_names.h"
#include "support/hex_records.h"

namespace vorna::test {
namespace {

// One Intel HEX data record.
std::string DataRecord(std::uint16_t address, const Bytes& data) { return IntelData(address, data) + "\n"; }

constexpr char END_RECORD[] = ":00000001FF\n";

class DownloadCommandTest : public CommandTest {
 protected:
  std::string WriteHexFile(const std::string& name, const std::string& records) const {
    const std::string path = folder.File(name);
    std::ofstream(path) << records << END_RECORD;
    return path;
  }

  // Runs the menu item; `answer` handles the dialog.
  int RunDownload(const std::function<void(DownloadDialog&)>& answer) {
    DialogAnswerer<DownloadDialog> answerer([this, answer](DownloadDialog& dialog) {
      pathAtOpening = dialog.pathBox().text().toStdString();
      answer(dialog);
    });
    window.action(ID_DOWNLOAD)->trigger();
    busyWhileDialog = answerer.busyWhileShown;
    return answerer.shown;
  }

  // Types `path` into the dialog and presses OK.
  int RunWithPath(const std::string& path) {
    return RunDownload([path](DownloadDialog& d) {
      d.pathBox().clear();
      QTest::keyClicks(&d.pathBox(), QString::fromStdString(path));
      QTest::mouseClick(&d.okButton(), Qt::LeftButton);
    });
  }

  std::string pathAtOpening;
  bool busyWhileDialog = false;
};

TEST_F(DownloadCommandTest, OpensWithTheWindowsPath) {
  window.state().hexFilePath = "/work/last.hex";
  RunDownload([this](DownloadDialog& d) {
    EXPECT_EQ(d.parentWidget(), &window);
    EXPECT_EQ(d.focusWidget(), &d.pathBox());
    d.reject();
  });
  EXPECT_EQ(pathAtOpening, "/work/last.hex");
}

TEST_F(DownloadCommandTest, SendsTheWindowAndReportsSuccessAtTheEnd) {
  Bytes data(65);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i);
  const std::string path = WriteHexFile("prog.hex", DataRecord(0x2000, Bytes(data.begin(), data.begin() + 32)) +
                                                        DataRecord(0x2020, Bytes(data.begin() + 32, data.end())));
  window.SetStatusText("before");
  EXPECT_EQ(RunWithPath(path), 1);
  EXPECT_EQ(window.state().hexFilePath, path);
  // 0x2000 to 0x204F: the 65 bytes, then 0xFF up to the top address.
  Bytes expected = data;
  expected.resize(80, 0xFF);
  EXPECT_EQ(board.program, expected);
  ASSERT_FALSE(board.writes.empty());
  EXPECT_EQ(board.writes[0], (Bytes{0xAA, 0x03, 0x04, 80, 0}));
  EXPECT_EQ(board.writes.size(), 3u);
  EXPECT_EQ(statusAtOpen, Strings{"before"});
  EXPECT_EQ(window.StatusText(), "Download success");
  EXPECT_EQ(busyAtOpen, std::vector<bool>{true});
  EXPECT_FALSE(busyWhileDialog);
  EXPECT_TRUE(boxes.empty());
  EXPECT_FALSE(board.IsOpen());
}

TEST_F(DownloadCommandTest, CancelReadsNothingAndChangesNothing) {
  window.state().hexFilePath = "/work/last.hex";
  window.SetStatusText("before");
  for (const auto& cancel : std::vector<std::function<void(DownloadDialog&)>>{
           [](DownloadDialog& d) { QTest::mouseClick(&d.cancelButton(), Qt::LeftButton); },
           [](DownloadDialog& d) { QTest::keyClick(&d.pathBox(), Qt::Key_Escape); }}) {
    RunDownload([&cancel](DownloadDialog& d) {
      d.pathBox().setText(QStringLiteral("/work/other.hex"));
      cancel(d);
    });
  }
  EXPECT_EQ(window.state().hexFilePath, "/work/last.hex");
  EXPECT_EQ(window.StatusText(), "before");
  EXPECT_TRUE(statusAtOpen.empty());
  EXPECT_TRUE(boxes.empty());
}

TEST_F(DownloadCommandTest, EmptyPathIsKeptAndReportedByTheReader) {
  window.state().hexFilePath = "/work/last.hex";
  RunWithPath("");
  EXPECT_EQ(boxes, Strings{"select hex file."});
  EXPECT_EQ(captions, Strings{"VORNA"});
  EXPECT_EQ(window.StatusText(), "Hex file is invalid");
  EXPECT_EQ(window.state().hexFilePath, "");
  EXPECT_TRUE(statusAtOpen.empty());
  EXPECT_FALSE(busyAtBox);
}

TEST_F(DownloadCommandTest, MissingFileIsKeptAndReportedByTheReader) {
  const std::string path = folder.File("missing.hex");
  RunWithPath(path);
  EXPECT_EQ(boxes, Strings{"file open error."});
  EXPECT_EQ(window.StatusText(), "Hex file is invalid");
  EXPECT_EQ(window.state().hexFilePath, path);
  EXPECT_TRUE(statusAtOpen.empty());
}

TEST_F(DownloadCommandTest, ImageOutsideTheWindowOpensNoPort) {
  for (const std::uint16_t address : {0x1000, 0x4000}) {
    RunWithPath(WriteHexFile("outside.hex", DataRecord(address, {1, 2, 3, 4})));
    // The reason, under the status.
    EXPECT_EQ(window.StatusText().rfind("Hex file is invalid\r\n", 0), 0u) << window.StatusText();
  }
  EXPECT_TRUE(boxes.empty());
  EXPECT_TRUE(statusAtOpen.empty());
}

TEST_F(DownloadCommandTest, PortThatCannotBeOpenedEmptiesTheStatus) {
  board.refusedDevices = {"/dev/fake1"};
  window.SetStatusText("before");
  RunWithPath(WriteHexFile("prog.hex", DataRecord(0x2000, {1, 2, 3})));
  EXPECT_EQ(boxes, Strings{"Can not open COM1"});
  EXPECT_EQ(window.StatusText(), "");
  EXPECT_FALSE(busyAtBox);
}

TEST_F(DownloadCommandTest, RefusedChunkEndsWithFailure) {
  board.faults.refuseChunk = 2;
  RunWithPath(WriteHexFile("prog.hex", DataRecord(0x2000, {1}) + DataRecord(0x20F0, {2})));
  EXPECT_EQ(window.StatusText(),
            "Download failure\r\nchunk 2 of 4: acknowledgement: the board answered 01 00 (hex), not 00");
  // The start and two of the four chunks; nothing after the refused one.
  EXPECT_EQ(board.writes.size(), 3u);
  EXPECT_FALSE(board.IsOpen());
  EXPECT_TRUE(boxes.empty());
}

// The failure's line under the status: which step, and what the board did.
struct FailureRow {
  const char* name;
  std::function<void(FakeBoard&)> setUp;
  const char* reasonLine;
};

void PrintTo(const FailureRow& row, std::ostream* os) { *os << row.name; }

class DownloadFailureReason : public DownloadCommandTest, public ::testing::WithParamInterface<FailureRow> {};

TEST_P(DownloadFailureReason, FollowsTheStatusOnItsOwnLine) {
  GetParam().setUp(board);
  // 0x2000 to 0x20F0: four chunks, the last of 49 bytes.
  RunWithPath(WriteHexFile("prog.hex", DataRecord(0x2000, {1}) + DataRecord(0x20F0, {2})));
  EXPECT_EQ(window.StatusText(), std::string("Download failure\r\n") + GetParam().reasonLine);
  EXPECT_TRUE(boxes.empty());
  EXPECT_FALSE(board.IsOpen());
}

INSTANTIATE_TEST_SUITE_P(
    Steps, DownloadFailureReason,
    ::testing::Values(
        FailureRow{"start_refused", [](FakeBoard& b) { b.faults.refuseStart = true; },
                   "start: the board answered 01 00 (hex), not 00"},
        FailureRow{"start_unanswered", [](FakeBoard& b) { b.script = {FakeBoard::ReadStep{}}; },
                   "start: 0 of 2 reply bytes arrived within the time-out (300 ms at most)"},
        FailureRow{"start_half_answered", [](FakeBoard& b) { b.script = {FakeBoard::ReadStep{{0x00}}}; },
                   "start: 1 of 2 reply bytes arrived within the time-out (300 ms at most)"},
        FailureRow{"start_read_failed",
                   [](FakeBoard& b) {
                     b.script = {FakeBoard::ReadStep{{}, true}};
                   },
                   "start: read: input/output error"},
        FailureRow{"start_not_sent", [](FakeBoard& b) { b.failingWrites = {1}; }, "start: write: input/output error"},
        FailureRow{"first_chunk_refused", [](FakeBoard& b) { b.faults.refuseChunk = 1; },
                   "chunk 1 of 4: acknowledgement: the board answered 01 00 (hex), not 00"},
        FailureRow{"last_chunk_refused", [](FakeBoard& b) { b.faults.refuseChunk = 4; },
                   "chunk 4 of 4: acknowledgement: the board answered 01 00 (hex), not 00"},
        FailureRow{"chunk_not_sent", [](FakeBoard& b) { b.failingWrites = {3}; },
                   "chunk 2 of 4: write: input/output error"},
        FailureRow{"chunk_unanswered",
                   [](FakeBoard& b) {
                     b.script = {FakeBoard::ReadStep{{0x00, 0x00}}, FakeBoard::ReadStep{}};
                   },
                   "chunk 1 of 4: acknowledgement: 0 of 2 reply bytes arrived within the time-out (300 ms at most)"},
        FailureRow{"completion_wrong", [](FakeBoard& b) { b.faults.badFinalAck = true; },
                   "chunk 4 of 4: completion: the board answered 00 00 (hex), not ff"}),
    [](const ::testing::TestParamInfo<FailureRow>& info) { return std::string(info.param.name); });

// A file whose lines end in CR alone loads as far as text mode reads it: its
// first record. The status says so on a line under its text.
TEST_F(DownloadCommandTest, LineEndWarningFollowsTheStatus) {
  std::string record = DataRecord(0x2000, {1, 2, 3});
  record.back() = '\r';
  const std::string path = folder.File("cr.hex");
  std::ofstream(path) << record << ":00000001FF\r";
  RunWithPath(path);
  // Its end record is not read: the box asks, and no (the default) sends nothing.
  EXPECT_EQ(window.StatusText(),
            "Download cancelled\r\nthe hex file has no LF line ends (its lines end in CR alone); 1 record was read");
  EXPECT_EQ(board.program.size(), 0u);
  EXPECT_EQ(boxes.size(), 1u);
}

// A file the content check finds fault with: one box lists the problems and
// asks; Return takes No, which sends nothing; Yes sends the file.
TEST_F(DownloadCommandTest, ProblemsAreAskedAboutInOneBox) {
  const std::string path = folder.File("damaged.hex");
  std::ofstream(path) << DataRecord(0x2000, {1, 2, 3});
  for (const bool yes : {false, true}) {
    Strings asked;
    const MessageBoxHook fixtureHook = SetMessageBoxHook([&](QMessageBox& box) {
      asked.push_back(box.text().toStdString());
      EXPECT_EQ(QApplication::overrideCursor(), nullptr);
      if (yes) box.button(QMessageBox::Yes)->click();
      if (!yes) QTest::keyClick(&box, Qt::Key_Return);
    });
    RunWithPath(path);
    SetMessageBoxHook(fixtureHook);
    EXPECT_EQ(asked,
              Strings{"The hex file has problems:\nline 1: the file ends without an end record\nDownload anyway?"});
    EXPECT_EQ(window.StatusText(), yes ? "Download success" : "Download cancelled");
    EXPECT_EQ(statusAtOpen.size(), yes ? 1u : 0u);
  }
}

TEST_F(DownloadCommandTest, FileChosenWithTheBrowseButtonIsDownloaded) {
  const std::string path = WriteHexFile("chosen.hex", DataRecord(0x2000, {9, 8, 7}));
  RunDownload([&path](DownloadDialog& d) {
    WhenModalOpens([&path](QWidget& modal) {
      auto* chooser = qobject_cast<QFileDialog*>(&modal);
      ASSERT_NE(chooser, nullptr);
      chooser->selectFile(QString::fromStdString(path));
      static_cast<QDialog*>(chooser)->accept();
    });
    QTest::mouseClick(&d.browseButton(), Qt::LeftButton);
    EXPECT_EQ(d.pathBox().text().toStdString(), path);
    QTest::mouseClick(&d.okButton(), Qt::LeftButton);
  });
  EXPECT_EQ(window.state().hexFilePath, path);
  EXPECT_EQ(window.StatusText(), "Download success");
  EXPECT_EQ(board.program.size(), 16u);
}

TEST_F(DownloadCommandTest, AcceptedPathReachesTheSettingsFileWhenTheWindowCloses) {
  const AppPaths paths{"VORNA", folder.File("other.ini"), folder.File("VORNAHLP.html")};
  {
    MainWindow other(paths);
    other.UseTransport(board, [](int) { return PortLookup{{}, "none"}; });
    other.show();
    DialogAnswerer<DownloadDialog> answerer([](DownloadDialog& d) {
      d.pathBox().setText(QStringLiteral("/nowhere/prog.hex"));
      QTest::mouseClick(&d.okButton(), Qt::LeftButton);
    });
    other.RunCommand(ID_DOWNLOAD);
  }
  MainWindow reopened(paths);
  EXPECT_EQ(reopened.state().hexFilePath, "/nowhere/prog.hex");
}

// A download stopped from the window, when its first chunk is in: with the
// Stop button (clicked, or reached with Tab and pressed with Space), or by
// closing the window and answering Yes, which closes it once the download
// has ended. Meanwhile the pane says what runs, uncovered by the progress
// bar and the Stop button.
struct StopWay {
  const char* name;
  std::function<void(MainWindow&)> stop;
  bool closes;
};

void PrintTo(const StopWay& way, std::ostream* os) { *os << way.name; }

class DownloadStop : public DownloadCommandTest, public ::testing::WithParamInterface<StopWay> {};

TEST_P(DownloadStop, EndsAfterTheChunkUnderWay) {
  const MessageBoxHook fixtureHook = SetMessageBoxHook([this](QMessageBox& box) {
    boxes.push_back(box.text().toStdString());
    box.done(QMessageBox::Yes);
  });
  bool finished = false;
  QObject::connect(&window, &QDialog::finished, [&finished] { finished = true; });
  std::string running;
  bool covered = true;
  QObject guard;
  QObject::connect(&window.progressBar(), &QProgressBar::valueChanged, &guard, [&](int) {
    if (!running.empty()) return;
    running = window.StatusText();
    const QRect pane = window.statusPane().geometry();
    covered = pane.intersects(window.progressBar().geometry()) || pane.intersects(window.stopButton().geometry());
    GetParam().stop(window);
  });
  RunWithPath(WriteHexFile("whole.hex", DataRecord(0x3FF0, {1})));
  SetMessageBoxHook(fixtureHook);
  EXPECT_EQ(running, "Downloading whole.hex to COM1 (/dev/fake1)\u2026");
  EXPECT_FALSE(covered);
  EXPECT_EQ(window.StatusText(), "Download stopped after 64 of 8192 bytes; the board holds an incomplete program");
  EXPECT_EQ(board.writes.size(), 2u) << "the start and the first chunk";
  EXPECT_EQ(boxes, GetParam().closes ? Strings{"A download is running. Stop it and close?"} : Strings{});
  EXPECT_EQ(finished, GetParam().closes);
  EXPECT_TRUE(window.stopButton().isHidden());
}

INSTANTIATE_TEST_SUITE_P(
    Ways, DownloadStop,
    ::testing::Values(StopWay{"StopClicked", [](MainWindow& w) { QTest::mouseClick(&w.stopButton(), Qt::LeftButton); },
                              false},
                      StopWay{"TabThenSpace",
                              [](MainWindow& w) {
                                QTest::keyClick(w.focusWidget(), Qt::Key_Tab);
                                QTest::keyClick(w.focusWidget(), Qt::Key_Space);
                              },
                              false},
                      StopWay{"CloseAnsweredYes", [](MainWindow& w) { w.close(); }, true}),
    [](const auto& info) { return std::string(info.param.name); });

// Windows' own name of the port adds nothing to the port number.
TEST_F(DownloadCommandTest, RunningTextOmitsWindowsOwnNameOfThePort) {
  window.UseTransport(board, [](int n) { return PortLookup{WindowsComDevice(n), {}}; });
  std::string running;
  QObject guard;
  QObject::connect(&window.progressBar(), &QProgressBar::valueChanged, &guard, [&](int) {
    if (running.empty()) running = window.StatusText();
  });
  RunWithPath(WriteHexFile("blink.hex", DataRecord(0x2000, {1})));
  EXPECT_EQ(running, "Downloading blink.hex to COM1\u2026");
}

}  // namespace
}  // namespace vorna::test
