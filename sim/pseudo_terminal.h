#pragma once
// The board's end of the line: a pseudo-terminal whose slave device is what
// the host opens as its serial port.

#include <cstddef>
#include <optional>
#include <string>

#include "base/unique_fd.h"

namespace vorna::sim {

// Every byte passes unchanged and nothing is echoed: an echoing device
// would hand the board its own replies as requests.
bool MakeRaw(int fd);

class PseudoTerminal {
 public:
  // On failure returns nullopt and sets `error`.
  static std::optional<PseudoTerminal> Open(std::string& error);

  // Non-blocking.
  int master() const { return master_.get(); }
  const std::string& slavePath() const { return slavePath_; }

  // Closes both ends, as when the board is unplugged: the host's next read
  // or write fails, and whatever it had not read yet is lost.
  void HangUp();

 private:
  PseudoTerminal(UniqueFd master, UniqueFd slave, std::string slavePath)
      : master_(std::move(master)), slave_(std::move(slave)), slavePath_(std::move(slavePath)) {}

  UniqueFd master_;
  // Held open so that the master sees no hang-up while no host has the
  // device open, and so that the line settings survive between sessions.
  UniqueFd slave_;
  std::string slavePath_;
};

}  // namespace vorna::sim
