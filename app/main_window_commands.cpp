// The board commands of the main window's menu. Each runs to its end inside
// the menu handler; while it talks to the board the window takes no input
// and the busy cursor shows, but never while a dialog or message box waits
// for the user.

#include <QApplication>
#include <QFile>

#include <optional>
#include <string>
#include <string_view>

#include "app/core/commands.h"
#include "app/main_window.h"
#include "dialogs/advanced_setting_dialog.h"
#include "dialogs/com_port_dialog.h"
#include "dialogs/download_dialog.h"
#include "dialogs/quick_setting_dialog.h"
#include "download/download_procedure.h"
#include "link/device_link.h"

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

}  // namespace

void MainWindow::RunQuickSetting() {
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

void MainWindow::RunAdvancedSetting() {
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

void MainWindow::RunComPort() {
  ComPortDialog dialog(*this, QString::fromStdString(ComPortText(state_.portNumber)));
  if (dialog.exec() != QDialog::Accepted) return;
  ApplyComPortText(state_.portNumber, dialog.portText().toStdString());
}

void MainWindow::RunDownload() {
  DownloadDialog dialog(*this, FromLocalPath(state_.hexFilePath));
  if (dialog.exec() != QDialog::Accepted) return;
  // Kept even when the download fails, and even when empty.
  state_.hexFilePath = ToLocalPath(dialog.pathText());
  BoardSession session(messages_, *transport_, resolver_);
  vorna::RunDownload(state_.hexFilePath, session.link, PortChoice{state_.portNumber, {}}, session.sink,
                     [this](const std::string& status) { SetStatusText(status); });
}

}  // namespace vorna
