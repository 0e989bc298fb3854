#pragma once
// What the main window's status pane says while a board command runs. Once
// the command has found its port, what runs ("Downloading blink.hex to
// COM1 (/dev/ttyACM0)…"). While a dialog of the command waits for the
// user, and once the command has ended, the command's own last text, or
// what the pane held before when the command showed none: a command leaves
// the texts it always left.

#include <functional>
#include <string>

#include "link/port_names.h"

namespace vorna {

class BoardWorker;
class MainWindow;

class RunningStatus {
 public:
  RunningStatus(MainWindow& window, BoardWorker& worker);
  ~RunningStatus();
  RunningStatus(const RunningStatus&) = delete;
  RunningStatus& operator=(const RunningStatus&) = delete;

  // What the next port found is announced with, before " COM1 (device)…":
  // "Reading the registers from". Empty: nothing is announced.
  void Doing(std::string doing) { doing_ = std::move(doing); }
  // `resolver` for the command's link, on the worker: each device it finds
  // is announced in the pane, and `onFound` called, on the GUI thread.
  PortResolver Announcing(PortResolver resolver, std::function<void()> onFound = {});
  // The command's own text: shown (not set again when the pane shows it
  // already, as after a Quick Setting's summary), and kept for the end.
  void Show(const std::string& text);
  // The text kept so far, while a dialog waits for the user.
  void Settle();

 private:
  MainWindow& window_;
  BoardWorker& worker_;
  std::string doing_;
  std::string kept_;
};

}  // namespace vorna
