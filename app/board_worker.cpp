#include "app/board_worker.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QKeyEvent>
#include <QThread>
#include <QWidget>

#include <atomic>
#include <exception>
#include <thread>

namespace vorna {
namespace {

// What a user does to a window; what the window's own repaints, timers and
// the command's callbacks need passes.
bool IsUserInput(QEvent::Type type) {
  switch (type) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
    case QEvent::TabletPress:
    case QEvent::TabletMove:
    case QEvent::TabletRelease:
    case QEvent::InputMethod:
      return true;
    default:
      return false;
  }
}

// Marks a command as running, and filters the application's events, for
// as long as it lives.
class RunningScope {
 public:
  RunningScope(bool& running, QObject& filter) : running_(running), filter_(filter) {
    running_ = true;
    QCoreApplication::instance()->installEventFilter(&filter_);
  }
  ~RunningScope() {
    QCoreApplication::instance()->removeEventFilter(&filter_);
    running_ = false;
  }
  RunningScope(const RunningScope&) = delete;
  RunningScope& operator=(const RunningScope&) = delete;

 private:
  bool& running_;
  QObject& filter_;
};

}  // namespace

BoardWorker::BoardWorker(QWidget& window) : QObject(&window), window_(window) {}

void BoardWorker::KeepInput(QWidget& control, std::function<void()> onClose) {
  control_ = &control;
  onClose_ = std::move(onClose);
}

void BoardWorker::Run(const std::function<void()>& command) {
  const RunningScope scope(running_, *this);
  std::atomic<bool> ended = false;
  std::exception_ptr failure;
  std::thread worker([this, &command, &failure, &ended] {
    try {
      command();
    } catch (...) {
      failure = std::current_exception();
    }
    ended = true;
    // Wakes the wait below; the event itself does nothing.
    QMetaObject::invokeMethod(
        this, [] {}, Qt::QueuedConnection);
  });
  // Not a QEventLoop: an application-wide exit() would end that before the
  // command has, and the GUI thread would then wait for a worker that
  // waits for it.
  while (!ended) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  worker.join();
  // What KeepInput allowed ends with the command.
  control_ = nullptr;
  onClose_ = nullptr;
  if (failure) std::rethrow_exception(failure);
}

void BoardWorker::RunOnGuiThread(const std::function<void()>& call) {
  if (QThread::currentThread() == thread()) {
    call();
    return;
  }
  QMetaObject::invokeMethod(this, call, Qt::BlockingQueuedConnection);
}

bool BoardWorker::eventFilter(QObject* watched, QEvent* event) {
  const auto* widget = qobject_cast<QWidget*>(watched);
  // The windows the command opens are windows of their own and keep their
  // input.
  if (widget == nullptr || widget->window() != &window_) return false;
  if (event->type() == QEvent::Close) {
    event->ignore();
    if (onClose_) onClose_();
    return true;
  }
  if (!IsUserInput(event->type())) return false;
  if (control_ != nullptr) {
    if (event->type() == QEvent::KeyPress) {
      const int key = static_cast<const QKeyEvent*>(event)->key();
      if (key == Qt::Key_Tab || key == Qt::Key_Backtab) {
        control_->setFocus(Qt::TabFocusReason);
        return true;
      }
    }
    if (widget == control_) return false;
  }
  event->accept();
  return true;
}

}  // namespace vorna
