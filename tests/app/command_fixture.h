#pragma once
// Running the main window's board commands in tests: the window talks to
// the in-memory fake board, every message box is recorded and closed, and
// each command dialog is answered by the test once its modal loop runs.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <cstddef>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "app/main_window.h"
#include "app/message_box.h"
#include "gui_test_support.h"
#include "support/fake_board.h"

namespace vorna::test {

// Calls `answer` with every dialog of type D that opens, once its modal
// loop has started.
template <typename D>
class DialogAnswerer final : public QObject {
 public:
  explicit DialogAnswerer(std::function<void(D&)> answer) : answer_(std::move(answer)) {
    qApp->installEventFilter(this);
  }
  ~DialogAnswerer() override { qApp->removeEventFilter(this); }

  int shown = 0;
  // Whether the busy cursor was up when a dialog appeared.
  bool busyWhileShown = false;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::Show) return false;
    auto* dialog = qobject_cast<D*>(watched);
    if (dialog == nullptr) return false;
    ++shown;
    if (QApplication::overrideCursor() != nullptr) busyWhileShown = true;
    QTimer::singleShot(0, dialog, [this, guarded = QPointer<D>(dialog)] {
      if (guarded) answer_(*guarded);
    });
    return false;
  }

 private:
  std::function<void(D&)> answer_;
};

// Answers every file chooser: picks `path` (or cancels when it is empty)
// and records how the chooser was set up.
struct ChooserAnswer {
  explicit ChooserAnswer(std::string path)
      : answerer([this, path](QFileDialog& chooser) {
          modes.push_back(chooser.acceptMode());
          filters = chooser.nameFilters();
          if (path.empty()) {
            chooser.reject();
            return;
          }
          chooser.selectFile(QString::fromStdString(path));
          static_cast<QDialog&>(chooser).accept();
        }) {}
  std::vector<QFileDialog::AcceptMode> modes;
  QStringList filters;
  DialogAnswerer<QFileDialog> answerer;
};

class CommandTest : public ::testing::Test {
 protected:
  CommandTest() {
    window.UseTransport(board, [this](int n) {
      return OnGuiThread([this, n] {
        statusAtOpen.push_back(window.StatusText());
        const QCursor* cursor = QApplication::overrideCursor();
        busyAtOpen.push_back(cursor != nullptr && cursor->shape() == Qt::WaitCursor);
        if (n <= 0 || static_cast<int>(statusAtOpen.size()) > allowedOpens) return PortLookup{{}, "no such port"};
        return PortLookup{"/dev/fake" + std::to_string(n), {}};
      });
    });
    previousHook_ = SetMessageBoxHook([this](QMessageBox& box) {
      boxes.push_back(box.text().toStdString());
      captions.push_back(box.windowTitle().toStdString());
      if (QApplication::overrideCursor() != nullptr) busyAtBox = true;
    });
    window.show();
  }
  ~CommandTest() override {
    SetMessageBoxHook(previousHook_);
    EXPECT_FALSE(watchdog.fired()) << "a dialog was left open";
    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "the busy cursor outlived the command";
  }

  AppPaths Paths() const { return {"VORNA", folder.File("VORNA.ini"), folder.File("VORNAHLP.html")}; }

  // The writes after the first `skip`, for checking what a command sent.
  std::vector<Bytes> WritesAfter(std::size_t skip) const {
    return {board.writes.begin() + static_cast<std::ptrdiff_t>(std::min(skip, board.writes.size())),
            board.writes.end()};
  }

  TempFolder folder;
  FakeBoard board;
  // Port opens beyond this count find no device, as if the board was
  // unplugged between the read and the writes.
  int allowedOpens = 1000;
  // At each attempt to open a port: the status pane's text, and whether the
  // busy cursor was showing.
  std::vector<std::string> statusAtOpen;
  std::vector<bool> busyAtOpen;
  std::vector<std::string> boxes;
  std::vector<std::string> captions;
  bool busyAtBox = false;
  MainWindow window{Paths()};
  ModalWatchdog watchdog;

 private:
  MessageBoxHook previousHook_;
};

// The register read request, the first write of every setting command.
inline const Bytes READ_REQUEST = {0xAA, 0x01, 0x02};

}  // namespace vorna::test
