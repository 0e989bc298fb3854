// Main window benchmark, on Qt's offscreen platform: the real MainWindow
// downloads an 8 KiB program (the whole user program window, 128 chunks)
// to vorna-board-sim at --baud 9600 over a pseudo-terminal, the download
// dialog answered by the benchmark. A 10 ms QTimer ticks on the GUI thread
// throughout; reported is the longest gap between two of its ticks while
// the command runs, against a target of 50 ms (a window that answers within
// a frame or three). Before the board I/O left the GUI thread the gap was
// the whole transfer.
//
//   bench_gui [rounds]        (default 1; each round is one ~9 s download)

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/main_window.h"
#include "app/message_box.h"
#include "dialogs/download_dialog.h"
#include "download/download_procedure.h"
#include "link/protocol.h"
#include "link/serial_posix.h"
#include "support/board_sim.h"
#include "support/hex_records.h"
#include "support/temp_folder.h"

namespace {

using Clock = std::chrono::steady_clock;
using Milliseconds = std::chrono::duration<double, std::milli>;

constexpr int SIM_PORT = 9;
constexpr const char* BAUD = "9600";
constexpr std::size_t PROGRAM_LENGTH = vorna::USER_PROGRAM_MAX_LENGTH;
constexpr int TICK_MS = 10;
constexpr double GAP_TARGET_MS = 50.0;
constexpr int DEFAULT_ROUNDS = 1;

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "bench_gui: %s\n", what.c_str());
  std::exit(1);
}

// Answers the Download dialog with `path` and OK once it shows.
class DownloadAnswer final : public QObject {
 public:
  explicit DownloadAnswer(std::string path) : path_(std::move(path)) { qApp->installEventFilter(this); }
  ~DownloadAnswer() override { qApp->removeEventFilter(this); }
  DownloadAnswer(const DownloadAnswer&) = delete;
  DownloadAnswer& operator=(const DownloadAnswer&) = delete;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    auto* dialog = qobject_cast<vorna::DownloadDialog*>(watched);
    if (dialog != nullptr && event->type() == QEvent::Show) {
      QTimer::singleShot(0, dialog, [this, dialog] {
        dialog->pathBox().setText(QString::fromStdString(path_));
        dialog->okButton().click();
      });
    }
    return false;
  }

 private:
  std::string path_;
};

struct Round {
  double seconds = 0;
  int ticks = 0;
  double longestGapMs = 0;
};

Round RunRound(vorna::MainWindow& window, const std::string& path) {
  Round round;
  std::optional<Clock::time_point> last;
  QTimer timer;
  timer.setInterval(TICK_MS);
  QObject::connect(&timer, &QTimer::timeout, [&] {
    if (!window.commandRunning()) {
      last.reset();
      return;
    }
    const Clock::time_point now = Clock::now();
    ++round.ticks;
    if (last) round.longestGapMs = std::max(round.longestGapMs, Milliseconds(now - *last).count());
    last = now;
  });
  timer.start();
  const DownloadAnswer answer(path);
  const Clock::time_point start = Clock::now();
  window.RunCommand(vorna::ID_DOWNLOAD);
  round.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  if (window.StatusText() != vorna::STATUS_DOWNLOAD_SUCCESS)
    Fail("download ended with \"" + window.StatusText() + "\"");
  return round;
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::atoi(argv[1]) : DEFAULT_ROUNDS;
  if (rounds < 1) Fail("rounds must be at least 1");
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  int qtArgc = 1;
  QApplication app(qtArgc, argv);

  const vorna::test::TempFolder folder("vorna-bench-gui");
  std::vector<std::uint8_t> program(PROGRAM_LENGTH);
  for (std::size_t i = 0; i < program.size(); ++i) program[i] = static_cast<std::uint8_t>(i * 7 + (i >> 8));
  const std::string path = folder.Write("whole.hex", vorna::test::IntelFile(vorna::USER_PROGRAM_START, program));

  vorna::test::BoardSim sim({"--baud", BAUD});
  if (!sim.ok()) Fail("the virtual board did not start");
  vorna::PosixSerialTransport transport;
  vorna::MainWindow window(vorna::AppPaths{"VORNA", folder.File("VORNA.ini"), folder.File("VORNAHLP.html")});
  window.UseTransport(transport, [&sim](int n) {
    return n == SIM_PORT ? vorna::PortLookup{sim.device(), {}} : vorna::PortLookup{{}, "no such port"};
  });
  window.state().portNumber = SIM_PORT;
  std::vector<std::string> boxes;
  vorna::SetMessageBoxHook([&boxes](QMessageBox& box) { boxes.push_back(box.text().toStdString()); });
  window.show();

  double worst = 0;
  for (int i = 0; i < rounds; ++i) {
    const Round round = RunRound(window, path);
    if (!boxes.empty()) Fail("a message box came up: " + boxes.front());
    std::printf("round %d: %zu bytes at %s baud in %.2f s, %d ticks of the %d ms timer, longest gap %.1f ms\n", i + 1,
                PROGRAM_LENGTH, BAUD, round.seconds, round.ticks, TICK_MS, round.longestGapMs);
    worst = std::max(worst, round.longestGapMs);
  }
  std::printf("longest GUI-thread gap during the 8 KiB download at %s baud: %.1f ms (target <= %.0f ms)\n", BAUD, worst,
              GAP_TARGET_MS);
  return 0;
}
