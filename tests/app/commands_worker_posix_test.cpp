// The board commands run on the main window's worker thread: the window
// repaints and shows a download's progress while the virtual board answers
// at the line's pace, input to it meanwhile is dropped rather than
// replayed, and a failing download reports as it does without the worker.

#include <gtest/gtest.h>

#include <QEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "app/main_window.h"
#include "app/message_box.h"
#include "command_fixture.h"
#include "dialogs/download_dialog.h"
#include "download/download_procedure.h"
#include "link/device_link.h"
#include "link/protocol.h"
#include "link/serial_posix.h"
#include "support/board_sim.h"
#include "support/hex_records.h"
#include "support/recording_sink.h"

namespace vorna::test {
namespace {

using Clock = std::chrono::steady_clock;
using Strings = std::vector<std::string>;
using Milliseconds = std::chrono::milliseconds;

constexpr int SIM_PORT = 9;
constexpr int TICK_MS = 10;
// The whole user program window: 128 chunks.
constexpr std::size_t PROGRAM_LENGTH = USER_PROGRAM_MAX_LENGTH;

// What the main window shows while a command runs, sampled on the GUI
// thread by a 10 ms timer and by the signals of its status pane and
// progress bar.
class WindowWatch final : public QObject {
 public:
  explicit WindowWatch(MainWindow& window) : window_(window) {
    timer_.setInterval(TICK_MS);
    connect(&timer_, &QTimer::timeout, this, [this] { Tick(); });
    connect(&window.statusPane(), &QPlainTextEdit::textChanged, this,
            [this] { statusTexts.push_back(window_.StatusText()); });
    connect(&window.progressBar(), &QProgressBar::valueChanged, this,
            [this](int value) { progress.emplace_back(value, window_.progressBar().maximum()); });
    window.progressBar().installEventFilter(this);
    timer_.start();
  }

  // Called at every tick while a command runs.
  std::function<void()> duringCommand;

  // The eighths of the transfer in which a tick ran: the GUI thread's
  // turns, counted against the transfer's own progress, not the clock.
  std::set<int> eighthsTicked;
  int paints = 0;
  bool barSeen = false;
  std::vector<std::string> statusTexts;
  std::vector<std::pair<int, int>> progress;  // value, maximum

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && window_.commandRunning()) ++paints;
    return QObject::eventFilter(watched, event);
  }

 private:
  void Tick() {
    if (!window_.commandRunning()) return;
    const QProgressBar& bar = window_.progressBar();
    if (bar.maximum() > 0) eighthsTicked.insert(std::min(7, 8 * std::max(0, bar.value()) / bar.maximum()));
    if (window_.progressBar().isVisible()) barSeen = true;
    if (duringCommand) duringCommand();
  }

  MainWindow& window_;
  QTimer timer_;
};

// The window against the virtual board, started with the test's options.
class WorkerDownloadTest : public ::testing::Test {
 protected:
  WorkerDownloadTest() {
    previousHook_ = SetMessageBoxHook([this](QMessageBox& box) { boxes.push_back(box.text().toStdString()); });
    window.state().portNumber = SIM_PORT;
    window.show();
  }
  ~WorkerDownloadTest() override {
    SetMessageBoxHook(previousHook_);
    EXPECT_FALSE(watchdog.fired());
  }

  void StartBoard(const std::vector<std::string>& args) {
    sim.emplace(args);
    ASSERT_TRUE(sim->ok());
    window.UseTransport(transport, [this](int n) {
      return n == SIM_PORT ? PortLookup{sim->device(), {}} : PortLookup{{}, "no such port"};
    });
  }

  // An 8 KiB program filling the whole window.
  std::string WriteProgram() {
    for (std::size_t i = 0; i < PROGRAM_LENGTH; ++i) program.push_back(static_cast<std::uint8_t>(i * 7 + (i >> 8)));
    const std::string path = folder.File("whole.hex");
    std::ofstream(path) << IntelFile(USER_PROGRAM_START, program);
    return path;
  }

  // The Download menu item with `path` typed into its dialog.
  void RunDownload(const std::string& path) {
    DialogAnswerer<DownloadDialog> answerer([&path](DownloadDialog& d) {
      d.pathBox().setText(QString::fromStdString(path));
      QTest::mouseClick(&d.okButton(), Qt::LeftButton);
    });
    window.action(ID_DOWNLOAD)->trigger();
    EXPECT_EQ(answerer.shown, 1);
  }

  static void ExpectRisingTo(const std::vector<std::pair<int, int>>& progress, int top) {
    ASSERT_FALSE(progress.empty());
    for (std::size_t i = 0; i < progress.size(); ++i) {
      EXPECT_EQ(progress[i].second, static_cast<int>(PROGRAM_LENGTH)) << i;
      EXPECT_GT(progress[i].first, 0) << i;
      if (i > 0) {
        EXPECT_GT(progress[i].first, progress[i - 1].first) << i;
      }
    }
    EXPECT_LE(progress.back().first, top);
  }

  TempFolder folder;
  std::optional<BoardSim> sim;
  PosixSerialTransport transport;
  MainWindow window{AppPaths{"VORNA", folder.File("VORNA.ini"), folder.File("VORNAHLP.html")}};
  std::vector<std::uint8_t> program;
  std::vector<std::string> boxes;
  ModalWatchdog watchdog;

 private:
  MessageBoxHook previousHook_;
};

TEST_F(WorkerDownloadTest, SlowDownloadKeepsTheWindowAliveDropsInputAndShowsProgress) {
  StartBoard({"--baud", "9600"});
  const std::string path = WriteProgram();
  bool finished = false;
  QObject::connect(&window, &QDialog::finished, [&finished] { finished = true; });
  WindowWatch watch(window);
  // A quarter into the transfer the user presses Escape, clicks the first
  // menu's title, and the window manager asks the window to close, which
  // the user is asked about and refuses.
  bool poked = false;
  bool menuOpened = false;
  bool closeAccepted = true;
  watch.duringCommand = [&] {
    if (poked || window.progressBar().value() < static_cast<int>(PROGRAM_LENGTH / 4)) return;
    poked = true;
    QWindow& handle = *window.windowHandle();
    QTest::keyClick(&handle, Qt::Key_Escape);
    QMenuBar& bar = window.menuBar();
    const QPoint title = bar.mapTo(&window, bar.actionGeometry(bar.actions().at(0)).center());
    QTest::mouseClick(&handle, Qt::LeftButton, Qt::NoModifier, title);
    menuOpened = bar.actions().at(0)->menu()->isVisible() || QApplication::activePopupWidget() != nullptr;
    closeAccepted = handle.close();
  };

  const Clock::time_point start = Clock::now();
  RunDownload(path);
  const auto took = std::chrono::duration_cast<Milliseconds>(Clock::now() - start);
  QTest::qWait(100);

  // What the user is told is what the synchronous command told, after
  // what ran.
  EXPECT_EQ(boxes, Strings{"A download is running. Stop it and close?"});
  EXPECT_EQ(watch.statusTexts,
            (Strings{"Downloading whole.hex to COM9 (" + sim->device() + ")\u2026", STATUS_DOWNLOAD_SUCCESS}));
  ASSERT_TRUE(sim->WaitForLogLine("# program written to " + sim->programPath()));
  EXPECT_EQ(sim->programContents(), program);

  // The window lived through the transfer: its event loop ran in every
  // eighth of it (how long it may pause is bench_gui's figure).
  EXPECT_GT(took, Milliseconds(5000)) << "not the paced board";
  EXPECT_EQ(watch.eighthsTicked, (std::set<int>{0, 1, 2, 3, 4, 5, 6, 7}));
  EXPECT_GE(watch.paints, 10);
  EXPECT_TRUE(watch.barSeen);
  ExpectRisingTo(watch.progress, static_cast<int>(PROGRAM_LENGTH));
  EXPECT_EQ(watch.progress.back().first, static_cast<int>(PROGRAM_LENGTH));
  EXPECT_GE(watch.progress.size(), 10u);
  EXPECT_FALSE(window.progressBar().isVisible());

  // The input during it was dropped, not kept for later.
  EXPECT_TRUE(poked);
  EXPECT_FALSE(menuOpened);
  EXPECT_FALSE(closeAccepted);
  EXPECT_FALSE(finished);
  EXPECT_TRUE(window.isVisible());
  EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);

  // Once the command has ended the same key closes the window.
  QTest::keyClick(window.windowHandle(), Qt::Key_Escape);
  EXPECT_TRUE(finished);
  EXPECT_FALSE(window.isVisible());
}

// What RunDownload reports without any window, on the board the test
// starts with `args`.
struct Reference {
  std::vector<std::string> boxes;
  std::string status;
};
Reference DirectDownload(const std::vector<std::string>& args, const std::string& path, int port) {
  BoardSim board(args);
  EXPECT_TRUE(board.ok());
  PosixSerialTransport transport;
  RecordingSink sink;
  DeviceLink link(transport, sink, [&board](int n) {
    return n == SIM_PORT ? PortLookup{board.device(), {}} : PortLookup{{}, "no such port"};
  });
  const DownloadResult result = vorna::RunDownload(path, link, PortChoice{port, {}}, sink);
  const std::string status = DownloadStatusText(result);
  const std::string& reason = result.failureReason;
  return {sink.Texts(), reason.empty() ? status : status + STATUS_LINE_END + reason};
}

// The part of a status text that does not hang on how a hang-up meets the
// next chunk (its write or its acknowledgement fails): the status line and
// the failing step.
std::string StatusAndStep(const std::string& text) {
  return text.substr(0, text.find(':', text.find(STATUS_LINE_END)));
}

TEST_F(WorkerDownloadTest, BoardGoneMidDownloadAndNoBoardReportAsWithoutTheWorker) {
  const std::vector<std::string> args = {"--hangup-after-chunks", "40"};
  StartBoard(args);
  const std::string path = WriteProgram();
  const Reference gone = DirectDownload(args, path, SIM_PORT);
  const Reference none = DirectDownload(args, path, 1);
  ASSERT_EQ(StatusAndStep(gone.status), "Download failure\r\nchunk 41 of 128");
  ASSERT_EQ(none.boxes, Strings{"Can not open COM1"});

  WindowWatch watch(window);
  RunDownload(path);
  EXPECT_EQ(boxes, gone.boxes);
  ASSERT_EQ(watch.statusTexts.size(), 2u) << "what runs, then how it ended";
  EXPECT_EQ(StatusAndStep(watch.statusTexts[1]), StatusAndStep(gone.status));
  ExpectRisingTo(watch.progress, 40 * static_cast<int>(DOWNLOAD_CHUNK_SIZE));
  EXPECT_FALSE(window.progressBar().isVisible());

  window.state().portNumber = 1;
  const std::size_t progressBefore = watch.progress.size();
  RunDownload(path);
  EXPECT_EQ(boxes, none.boxes);
  EXPECT_EQ(watch.statusTexts, (Strings{watch.statusTexts[0], watch.statusTexts[1], none.status}));
  EXPECT_EQ(watch.progress.size(), progressBefore);
  EXPECT_FALSE(window.progressBar().isVisible());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

}  // namespace
}  // namespace vorna::test
