#pragma once
// Runs a board command on a thread of its own, so that the window which
// started it keeps repainting while the board answers at the line's pace.
// The caller still waits for the command's end, its event loop serviced
// meanwhile. Whatever the command hands to the windows (message boxes,
// dialogs, the status text, progress) goes through OnGui: it runs on the GUI
// thread while the worker waits, so boxes come one at a time, in order, and
// the command goes on with the user's answer. The link and the transport are
// used by the worker alone while a command runs.
//
// While a command runs, input to the window that owns the worker is dropped,
// not held back for later, and closing it is refused; the windows the
// command opens take input as usual, and so does one control of the window
// that the command may name (a download's Stop button).

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <optional>
#include <type_traits>
#include <utility>

class QEvent;

namespace vorna {

class BoardWorker final : public QObject {
 public:
  explicit BoardWorker(QWidget& window);

  // Runs `command` on the worker thread and returns once it has ended,
  // processing the GUI thread's events meanwhile; an exception it throws is
  // thrown again here. Called on the GUI thread, one command at a time.
  void Run(const std::function<void()>& command);
  // True while Run has not returned.
  bool running() const { return running_; }

  // For the next command, until its Run returns: `control`, a widget of the
  // window, keeps its mouse and keys, and Tab or Shift+Tab anywhere in the
  // window gives it the focus; a close of the window calls `onClose`, and is
  // refused all the same.
  void KeepInput(QWidget& control, std::function<void()> onClose);

  // Runs `call` on the GUI thread and returns its result once it has
  // returned there; on the GUI thread itself it is called directly.
  template <typename Call>
  std::invoke_result_t<Call&> OnGui(Call&& call) {
    using Result = std::invoke_result_t<Call&>;
    if constexpr (std::is_void_v<Result>) {
      RunOnGuiThread([&call] { call(); });
    } else {
      std::optional<Result> result;
      RunOnGuiThread([&call, &result] { result.emplace(call()); });
      return std::move(*result);
    }
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void RunOnGuiThread(const std::function<void()>& call);

  QWidget& window_;
  bool running_ = false;
  QPointer<QWidget> control_;
  std::function<void()> onClose_;
};

}  // namespace vorna
