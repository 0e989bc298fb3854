// The board commands of the main window's menu. Each runs to its end inside
// the menu handler; while it talks to the board the window takes no input
// and the busy cursor shows, but never while a dialog or message box waits
// for the user.

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QStringList>

#include <optional>
#include <string>
#include <string_view>

#include "app/main_window.h"
#include "commands/commands.h"
#include "commands/profile.h"
#include "commands/profile_commands.h"
#include "dialogs/advanced_setting_dialog.h"
#include "dialogs/com_port_dialog.h"
#include "dialogs/download_dialog.h"
#include "dialogs/quick_setting_dialog.h"
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
// one is up.
class PausingSink final : public MessageSink {
 public:
  PausingSink(MessageSink& boxes, BusyCursor& busy) : boxes_(boxes), busy_(busy) {}
  void Report(std::string_view text, std::string_view reason) override {
    const BusyCursor::Pause pause(busy_);
    boxes_.Report(text, reason);
  }

 private:
  MessageSink& boxes_;
  BusyCursor& busy_;
};

// What one command needs to talk to the board, from its start to its end.
struct BoardSession {
  BoardSession(MessageSink& boxes, Transport& transport, const PortResolver& resolver)
      : sink(boxes, busy), link(transport, sink, resolver) {}
  BusyCursor busy;
  PausingSink sink;
  DeviceLink link;
};

QString FromLocalPath(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }

std::string ToLocalPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

// The status pane's and the core's "\r\n" as a message box's line breaks.
QString BoxLines(const std::string& text) {
  return QString::fromStdString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

// The board profile to save to or load from, chosen like the hex file.
std::optional<std::string> ChooseProfileFile(QWidget& owner, QFileDialog::AcceptMode mode) {
  QFileDialog chooser(&owner);
  chooser.setAcceptMode(mode);
  chooser.setFileMode(mode == QFileDialog::AcceptSave ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  chooser.setOption(QFileDialog::DontUseNativeDialog);
  chooser.setOption(QFileDialog::HideNameFilterDetails);
  const QStringList filters = {QString::fromLatin1(PROFILE_FILE_FILTER), QString::fromLatin1(ALL_FILES_FILTER)};
  chooser.setNameFilters(filters);
  chooser.selectNameFilter(filters.first());
  chooser.setDefaultSuffix(QString::fromLatin1(PROFILE_FILE_SUFFIX));
  if (chooser.exec() != QDialog::Accepted || chooser.selectedFiles().isEmpty()) return std::nullopt;
  return ToLocalPath(QFileInfo(chooser.selectedFiles().first()).absoluteFilePath());
}

}  // namespace

void MainWindow::OnQuickSetting() {
  BoardSession session(messages_, *transport_, resolver_);
  vorna::RunQuickSetting(
      state_, session.link, PortChoice{state_.portNumber, {}},
      [this, &session](const QuickSettings& fromBoard) -> std::optional<QuickSettings> {
        const BusyCursor::Pause pause(session.busy);
        QuickSettingDialog dialog(*this, fromBoard);
        if (dialog.exec() != QDialog::Accepted) return std::nullopt;
        return dialog.settings();
      },
      [this](const std::string& summary) { SetStatusText(summary); });
}

void MainWindow::OnAdvancedSetting() {
  BoardSession session(messages_, *transport_, resolver_);
  vorna::RunAdvancedSetting(
      state_, session.link, PortChoice{state_.portNumber, {}},
      [this, &session](const TransmitterFields& fromBoard) -> std::optional<TransmitterFields> {
        const BusyCursor::Pause pause(session.busy);
        AdvancedSettingDialog dialog(*this, fromBoard);
        if (dialog.exec() != QDialog::Accepted) return std::nullopt;
        return dialog.fields();
      },
      [this](const std::string& dump) { SetStatusText(dump); });
}

void MainWindow::OnComPort() {
  // Looked at once, without opening any device: opening one would raise its
  // control lines, which resets some boards.
  ComPortDialog dialog(*this, QString::fromStdString(ComPortText(state_.portNumber)),
                       DiscoverPorts(portRoots_, HoldCheck::kSkip));
  if (dialog.exec() != QDialog::Accepted) return;
  ApplyComPortText(state_.portNumber, dialog.portText().toStdString());
}

void MainWindow::OnDownload() {
  DownloadDialog dialog(*this, FromLocalPath(state_.hexFilePath));
  if (dialog.exec() != QDialog::Accepted) return;
  // Kept even when the download fails, and even when empty.
  state_.hexFilePath = ToLocalPath(dialog.pathText());
  BoardSession session(messages_, *transport_, resolver_);
  // The status pane's text stays the procedure's; why a download failed and
  // the reader's warning follow it, one line each.
  std::string addedLines;
  vorna::RunDownload(
      state_.hexFilePath, session.link, PortChoice{state_.portNumber, {}}, session.sink,
      [this, &addedLines](const std::string& status) {
        SetStatusText(status.empty() ? status : status + addedLines);
      },
      {}, [&addedLines](const std::string& warning) { addedLines += STATUS_LINE_END + warning; },
      [&addedLines](const std::string& reason) { addedLines.insert(0, STATUS_LINE_END + reason); });
}

void MainWindow::OnSaveProfile() {
  const auto path = ChooseProfileFile(*this, QFileDialog::AcceptSave);
  if (!path) return;
  BoardSession session(messages_, *transport_, resolver_);
  RegisterSnapshot snapshot;
  if (SaveBoardProfile(session.link, PortChoice{state_.portNumber, {}}, *path, session.sink, snapshot))
    SetStatusText(FormatProfileDump(ProfileFromSnapshot(snapshot)));
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
  const QString question = QStringLiteral("Write these settings to the board?\n\n") +
                           BoxLines(FormatProfileDump(*parse.profile));
  if (!AskOkCancel(*this, applicationName(), question)) return;
  BoardSession session(messages_, *transport_, resolver_);
  LoadBoardProfile(session.link, PortChoice{state_.portNumber, {}}, *parse.profile, false,
                   [this](const std::string& dump) { SetStatusText(dump); });
}

}  // namespace vorna
