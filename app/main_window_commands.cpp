// The board commands of the main window's menu. Each runs its board I/O on
// the window's BoardWorker, a thread of its own, while the menu handler
// waits for its end with the event loop serviced: the window repaints and
// shows a download's progress, and input to it is dropped, not replayed
// later. What the command shows (message boxes, its dialog, the status
// text) runs on the GUI thread with the worker waiting, in the order the
// command asks for it. The busy cursor shows throughout, but never while a
// dialog or message box waits for the user.

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QProgressBar>
#include <QPushButton>
#include <QStringList>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/board_worker.h"
#include "app/main_window.h"
#include "app/running_status.h"
#include "commands/commands.h"
#include "commands/profile.h"
#include "commands/profile_commands.h"
#include "dialogs/advanced_setting_dialog.h"
#include "dialogs/com_port_dialog.h"
#include "dialogs/download_dialog.h"
#include "dialogs/quick_setting_dialog.h"
#include "dialogs/shown_text.h"
#include "download/download_procedure.h"
#include "link/device_link.h"
#include "link/port_discovery.h"

namespace vorna {
namespace {

class BusyCursor {
 public:
  BusyCursor() { Show(); }
  ~BusyCursor() {
    if (shown_) Hide();
  }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;

  // The normal cursor while a window waits for the user.
  class Pause {
   public:
    explicit Pause(BusyCursor& busy) : busy_(busy), wasShown_(busy.shown_) {
      if (wasShown_) busy_.Hide();
    }
    ~Pause() {
      if (wasShown_) busy_.Show();
    }
    Pause(const Pause&) = delete;
    Pause& operator=(const Pause&) = delete;

   private:
    BusyCursor& busy_;
    bool wasShown_;
  };

 private:
  void Show() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    shown_ = true;
  }
  void Hide() {
    QApplication::restoreOverrideCursor();
    shown_ = false;
  }
  bool shown_ = false;
};

// The main window's message boxes, with the busy cursor paused while each
// one is up. Reported from the worker, each box is shown on the GUI thread,
// the worker waiting until it has been closed.
class PausingSink final : public MessageSink {
 public:
  PausingSink(MessageSink& boxes, BusyCursor& busy, BoardWorker& worker)
      : boxes_(boxes), busy_(busy), worker_(worker) {}
  void Report(std::string_view text, std::string_view reason) override {
    worker_.OnGui([this, text, reason] {
      const BusyCursor::Pause pause(busy_);
      boxes_.Report(text, reason);
    });
  }

 private:
  MessageSink& boxes_;
  BusyCursor& busy_;
  BoardWorker& worker_;
};

// What one command needs to talk to the board, from its start to its end.
// Made on the GUI thread; the link is then used by the worker alone.
struct BoardSession {
  BoardSession(BoardWorker& worker, MessageSink& boxes, Transport& transport, const PortResolver& resolver)
      : sink(boxes, busy, worker), link(transport, sink, resolver) {}
  BusyCursor busy;
  PausingSink sink;
  DeviceLink link;
};

// The shortest time between two progress updates handed to the window: a
// download at a high rate would otherwise wait on the GUI thread for every
// chunk.
constexpr auto PROGRESS_INTERVAL = std::chrono::milliseconds(30);

// Hands the download's progress to `show` on the GUI thread: the first
// update, the last one, and between them none sooner than PROGRESS_INTERVAL
// after the previous. Called by the worker alone.
class ProgressThrottle {
 public:
  using Clock = std::chrono::steady_clock;
  ProgressThrottle(BoardWorker& worker, std::function<void(std::size_t sent, std::size_t total)> show)
      : worker_(worker), show_(std::move(show)) {}
  void operator()(std::size_t sent, std::size_t total) {
    const Clock::time_point now = Clock::now();
    if (shown_ && sent < total && now - last_ < PROGRESS_INTERVAL) return;
    shown_ = true;
    last_ = now;
    worker_.OnGui([this, sent, total] { show_(sent, total); });
  }

 private:
  BoardWorker& worker_;
  std::function<void(std::size_t sent, std::size_t total)> show_;
  bool shown_ = false;
  Clock::time_point last_;
};

// What the pane says while the registers are read or written; translated
// with what follows them (dialogs/shown_text.cpp).
constexpr char TEXT_READING[] = "Reading the registers from";
constexpr char TEXT_WRITING[] = "Writing the registers to";

// The Stop button of a running download, and its progress bar, hidden
// when it ends. A stop is asked for with the button, or by closing the
// window and confirming; the window then closes once the download has
// ended. The worker reads the request between chunks.
class DownloadControls {
 public:
  DownloadControls(MainWindow& window, BoardWorker& worker, BusyCursor& busy) : window_(window) {
    QPushButton& stop = window.stopButton();
    clicked_ = QObject::connect(&stop, &QPushButton::clicked, &stop, [this] { RequestStop(); });
    worker.KeepInput(stop, [this, &busy] { AskToClose(busy); });
  }
  ~DownloadControls() {
    QObject::disconnect(clicked_);
    window_.SetDownloadControlsVisible(false);
  }
  DownloadControls(const DownloadControls&) = delete;
  DownloadControls& operator=(const DownloadControls&) = delete;

  bool stopRequested() const { return stopRequested_; }
  bool closeWhenEnded() const { return closeWhenEnded_; }

 private:
  void RequestStop() {
    stopRequested_ = true;
    window_.stopButton().setEnabled(false);
  }
  void AskToClose(BusyCursor& busy) {
    // A second close while the question is up is the same question.
    if (asking_ || closeWhenEnded_) return;
    asking_ = true;
    const BusyCursor::Pause pause(busy);
    if (AskYesNo(window_, window_.applicationName(), MainWindow::tr("A download is running. Stop it and close?"))) {
      RequestStop();
      closeWhenEnded_ = true;
    }
    asking_ = false;
  }

  MainWindow& window_;
  QMetaObject::Connection clicked_;
  std::atomic<bool> stopRequested_ = false;
  bool closeWhenEnded_ = false;
  bool asking_ = false;
};

QString FromLocalPath(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }

std::string ToLocalPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

// The status pane's and the core's "\r\n" as a message box's line breaks.
QString BoxLines(const std::string& text) {
  return QString::fromStdString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

// The status pane's text after a download: the procedure's status, then why
// it failed and the reader's warning, one line each; empty when the port did
// not open (its box said why).
std::string DownloadPaneText(const DownloadResult& result, const std::string& warning) {
  std::string text = DownloadStatusText(result);
  if (text.empty()) return text;
  if (!result.failureReason.empty()) text += STATUS_LINE_END + result.failureReason;
  if (!warning.empty()) text += STATUS_LINE_END + warning;
  return text;
}

// The board profile to save to or load from, chosen like the hex file.
std::optional<std::string> ChooseProfileFile(QWidget& owner, QFileDialog::AcceptMode mode) {
  QFileDialog chooser(&owner);
  chooser.setAcceptMode(mode);
  chooser.setFileMode(mode == QFileDialog::AcceptSave ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  chooser.setOption(QFileDialog::DontUseNativeDialog);
  chooser.setOption(QFileDialog::HideNameFilterDetails);
  const QStringList filters = {ShownText(PROFILE_FILE_FILTER), ShownText(ALL_FILES_FILTER)};
  chooser.setNameFilters(filters);
  chooser.selectNameFilter(filters.first());
  chooser.setDefaultSuffix(QString::fromLatin1(PROFILE_FILE_SUFFIX));
  if (chooser.exec() != QDialog::Accepted || chooser.selectedFiles().isEmpty()) return std::nullopt;
  return ToLocalPath(QDir::toNativeSeparators(QFileInfo(chooser.selectedFiles().first()).absoluteFilePath()));
}

}  // namespace

void MainWindow::OnQuickSetting() {
  RunningStatus running(*this, *worker_);
  running.Doing(TEXT_READING);
  BoardSession session(*worker_, messages_, *transport_, running.Announcing(resolver_));
  QuickSettingResult result;
  worker_->Run([this, &session, &running, &result] {
    result = vorna::RunQuickSetting(
        state_, session.link, PortChoice{state_.portNumber, {}},
        [this, &session, &running](const QuickSettings& fromBoard) {
          return worker_->OnGui([this, &session, &running, &fromBoard]() -> std::optional<QuickSettings> {
            const BusyCursor::Pause pause(session.busy);
            running.Settle();
            QuickSettingDialog dialog(*this, fromBoard);
            if (dialog.exec() != QDialog::Accepted) return std::nullopt;
            // The summary, shown before the writes, says what they write.
            running.Doing({});
            return dialog.settings();
          });
        },
        [this, &running](const QuickSettings& toWrite) {
          const std::string summary = FormatQuickSummary(toWrite);
          worker_->OnGui([&running, &summary] { running.Show(summary); });
        });
  });
  if (const std::optional<std::string> text = vorna::StatusText(result)) running.Show(*text);
}

void MainWindow::OnAdvancedSetting() {
  RunningStatus running(*this, *worker_);
  running.Doing(TEXT_READING);
  BoardSession session(*worker_, messages_, *transport_, running.Announcing(resolver_));
  AdvancedSettingResult result;
  worker_->Run([this, &session, &running, &result] {
    result = vorna::RunAdvancedSetting(
        state_, session.link, PortChoice{state_.portNumber, {}},
        [this, &session, &running](const TransmitterFields& fromBoard) {
          return worker_->OnGui([this, &session, &running, &fromBoard]() -> std::optional<TransmitterFields> {
            const BusyCursor::Pause pause(session.busy);
            running.Settle();
            AdvancedSettingDialog dialog(*this, fromBoard);
            if (dialog.exec() != QDialog::Accepted) return std::nullopt;
            running.Doing(TEXT_WRITING);
            return dialog.fields();
          });
        });
  });
  if (const std::optional<std::string> text = vorna::StatusText(result)) running.Show(*text);
}

void MainWindow::OnComPort() {
  // Looked at once, without opening any device: opening one would raise its
  // control lines, which resets some boards.
  ComPortDialog dialog(*this, QString::fromStdString(ComPortText(state_.portNumber)),
                       DiscoverPorts(portRoots_, HoldCheck::Skip));
  if (dialog.exec() != QDialog::Accepted) return;
  ApplyComPortText(state_.portNumber, dialog.portText().toStdString());
}

void MainWindow::OnDownload() {
  DownloadDialog dialog(*this, FromLocalPath(state_.hexFilePath));
  if (dialog.exec() != QDialog::Accepted) return;
  // Kept even when the download fails, and even when empty.
  state_.hexFilePath = ToLocalPath(dialog.pathText());
  RunningStatus running(*this, *worker_);
  running.Doing(tr("Downloading %1 to").arg(QFileInfo(dialog.pathText()).fileName()).toStdString());
  BoardSession session(*worker_, messages_, *transport_,
                       running.Announcing(resolver_, [this] { SetDownloadControlsVisible(true); }));
  DownloadControls controls(*this, *worker_, session.busy);
  ProgressThrottle progress(*worker_, [this](std::size_t sent, std::size_t total) {
    progressBar_->setRange(0, static_cast<int>(total));
    progressBar_->setValue(static_cast<int>(sent));
  });
  progressBar_->reset();
  DownloadResult result;
  std::string warning;
  worker_->Run([this, &session, &progress, &controls, &result, &warning] {
    result = vorna::RunDownload(
        state_.hexFilePath, session.link, PortChoice{state_.portNumber, {}}, session.sink, std::ref(progress),
        [&warning](const std::string& text) { warning = text; }, [&controls] { return controls.stopRequested(); },
        [this, &session](const std::vector<std::string>& problems) {
          return worker_->OnGui([this, &session, &problems] {
            const BusyCursor::Pause pause(session.busy);
            return AskYesNo(*this, applicationName(), HexProblemsQuestion(problems));
          });
        });
  });
  running.Show(DownloadPaneText(result, warning));
  if (controls.closeWhenEnded()) close();
}

void MainWindow::OnSaveProfile() {
  const auto path = ChooseProfileFile(*this, QFileDialog::AcceptSave);
  if (!path) return;
  RunningStatus running(*this, *worker_);
  running.Doing(TEXT_READING);
  BoardSession session(*worker_, messages_, *transport_, running.Announcing(resolver_));
  std::optional<RegisterSnapshot> saved;
  worker_->Run([this, &session, &path, &saved] {
    saved = SaveBoardProfile(session.link, PortChoice{state_.portNumber, {}}, *path, session.sink);
  });
  if (saved) running.Show(FormatProfileDump(ProfileFromSnapshot(*saved)));
}

void MainWindow::OnLoadProfile() {
  const auto path = ChooseProfileFile(*this, QFileDialog::AcceptOpen);
  if (!path) return;
  const ProfileParse parse = ReadProfileFile(*path);
  if (!parse.profile) {
    std::string problems;
    for (const ProfileProblem& problem : parse.problems)
      problems += (problems.empty() ? "" : "\n") + FormatProfileProblem(*path, problem);
    ShowMessageBox(*this, applicationName(), QString::fromStdString(problems));
    return;
  }
  const QString question =
      tr("Write these settings to the board?") + QStringLiteral("\n\n") + BoxLines(FormatProfileDump(*parse.profile));
  if (!AskOkCancel(*this, applicationName(), question)) return;
  RunningStatus running(*this, *worker_);
  running.Doing(TEXT_WRITING);
  BoardSession session(*worker_, messages_, *transport_, running.Announcing(resolver_));
  CommandOutcome outcome = CommandOutcome::PortNotOpened;
  worker_->Run([this, &session, &parse, &outcome] {
    outcome = LoadBoardProfile(session.link, PortChoice{state_.portNumber, {}}, *parse.profile, false);
  });
  running.Show(LoadStatusText(outcome, *parse.profile));
}

}  // namespace vorna
