#pragma once
// Running modal windows from tests: every modal run is answered by the
// test, and a watchdog ends any that the test failed to answer, so no test
// waits for a user.

#include <QApplication>
#include <QDialog>
#include <QMetaObject>
#include <QThread>
#include <QTimer>

#include <functional>
#include <optional>
#include <utility>

#include "support/temp_folder.h"

namespace vorna::test {

inline constexpr int WATCHDOG_MS = 10000;
inline constexpr int WATCHDOG_RESULT = -77;

// Ends whatever modal dialog is still up after WATCHDOG_MS.
class ModalWatchdog {
 public:
  ModalWatchdog() {
    timer_.setInterval(WATCHDOG_MS);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
        fired_ = true;
        dialog->done(WATCHDOG_RESULT);
      }
    });
    timer_.start();
  }
  bool fired() const { return fired_; }

 private:
  QTimer timer_;
  bool fired_ = false;
};

// Calls `answer` with the modal window that the code running next opens,
// once its modal loop has started.
inline void WhenModalOpens(std::function<void(QWidget& modal)> answer) {
  QTimer::singleShot(0, [answer = std::move(answer)] {
    if (QWidget* modal = QApplication::activeModalWidget()) answer(*modal);
  });
}

// Runs `dialog` modally; `act` runs once its modal loop has started.
inline int ExecWith(QDialog& dialog, std::function<void()> act) {
  QTimer::singleShot(0, &dialog, std::move(act));
  return dialog.exec();
}

// Runs `call` on the GUI thread and returns its result. The main window's
// board commands ask their port resolver from the worker thread, and what a
// test's resolver looks at there (the status pane, the cursor) belongs to the
// GUI thread, which waits for the worker with its event loop running.
template <typename Call>
auto OnGuiThread(Call call) {
  if (QThread::currentThread() == qApp->thread()) return call();
  std::optional<decltype(call())> result;
  QMetaObject::invokeMethod(
      qApp, [&call, &result] { result.emplace(call()); }, Qt::BlockingQueuedConnection);
  return std::move(*result);
}

}  // namespace vorna::test
