#pragma once
// A serial device on a POSIX system: raw mode for the session with the
// device's own line settings put back at close, exclusive through an
// advisory flock (which the kernel drops whenever the process ends, however
// it ends, and which holds against root too), stale input discarded at
// open, and the read time-outs of the packet contract done with poll().
// A terminal that is some process's controlling terminal is never opened:
// it is a person's terminal, not a board.

#include <sys/types.h>
#include <termios.h>

#include <csignal>
#include <optional>
#include <string>
#include <string_view>

#include "link/transport.h"
#include "link/unique_fd.h"

namespace vorna {

class PosixSerialTransport final : public Transport {
 public:
  // `stopSignal`, when given, is set by a signal handler to end the command:
  // from then on nothing is opened, no further request goes out, and a read
  // waiting for its reply returns at once. A request already under way is
  // sent whole, so the board never sees half a packet.
  explicit PosixSerialTransport(const volatile std::sig_atomic_t* stopSignal = nullptr) : stop_(stopSignal) {}
  ~PosixSerialTransport() override;
  PosixSerialTransport(const PosixSerialTransport&) = delete;
  PosixSerialTransport& operator=(const PosixSerialTransport&) = delete;

  bool Open(const std::string& device) override;
  void Close() override;
  bool IsOpen() const override { return fd_.valid(); }
  bool Write(const std::uint8_t* data, std::size_t count) override;
  std::optional<std::size_t> Read(std::uint8_t* data, std::size_t count) override;
  std::string LastError() const override { return lastError_; }

 private:
  bool Fail(const std::string& what, int error);
  bool Stopped(const char* what);

  UniqueFd fd_;
  // The device's line settings before the open, put back at close.
  termios saved_{};
  std::string lastError_;
  const volatile std::sig_atomic_t* stop_ = nullptr;
};

// The controlling terminal named by one /proc/PID/stat line (its field
// tty_nr); nullopt when the process has none or the line is not one.
std::optional<dev_t> ControllingTerminalOf(std::string_view statLine);

// A process whose controlling terminal is `terminal`, looked for in the
// process folder (/proc); nullopt when there is none, or no such folder.
std::optional<pid_t> ProcessControlledBy(dev_t terminal, const std::string& processFolder = "/proc");

}  // namespace vorna
