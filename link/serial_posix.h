#pragma once
// A serial device on a POSIX system: raw mode for the session with the
// device's own line settings put back at close, exclusive through an
// advisory flock (which the kernel drops whenever the process ends, however
// it ends, and which holds against root too), stale input discarded at
// open (and what comes until the line is quiet), the read time-outs of the
// packet contract done with poll(), and the line watched after a reply.
// A console, a virtual terminal, or a terminal that is (or may be) some
// process's controlling terminal is never opened: it is a person's
// terminal, not a board (terminal_guard_posix.h). That is decided from the
// device's number before the device is opened.

#include <termios.h>

#include <csignal>
#include <optional>
#include <span>
#include <string>
#include <utility>

#include "base/unique_fd.h"
#include "link/terminal_guard_posix.h"
#include "link/transport.h"

namespace vorna {

class PosixSerialTransport final : public Transport {
 public:
  // `stopSignal`, when given, is set by a signal handler to end the command:
  // from then on nothing is opened, no further request goes out, and a read
  // waiting for its reply returns at once. A request already under way is
  // sent whole, so the board never sees half a packet.
  // `folders`: where the terminal checks look (tests give trees of their own).
  explicit PosixSerialTransport(const volatile std::sig_atomic_t* stopSignal = nullptr, SystemFolders folders = {})
      : stop_(stopSignal), folders_(std::move(folders)) {}
  ~PosixSerialTransport() override;
  PosixSerialTransport(const PosixSerialTransport&) = delete;
  PosixSerialTransport& operator=(const PosixSerialTransport&) = delete;

  bool Open(const std::string& device) override;
  void Close() override;
  bool IsOpen() const override { return fd_.valid(); }
  bool Write(std::span<const std::uint8_t> bytes) override;
  std::optional<std::size_t> Read(std::span<std::uint8_t> buffer) override;
  bool ReplyEnded() override;
  std::string LastError() const override { return lastError_; }

 private:
  bool Fail(const std::string& what, int error);
  bool Stopped(const char* what);
  struct Drained {
    std::size_t bytes = 0;
    bool quiet = true;  // false: still busy after LINE_DRAIN_LIMIT_MS
  };
  // Reads and drops what arrives until the line has been quiet for
  // `quietMs`; nullopt when a stop signal came (the reason names `step`).
  std::optional<Drained> DrainUntilQuiet(int quietMs, const char* step);

  UniqueFd fd_;
  // The device's line settings before the open, put back at close.
  termios saved_{};
  std::string lastError_;
  // The longest gap between two arrivals of the last read's bytes.
  int longestGapMs_ = 0;
  const volatile std::sig_atomic_t* stop_ = nullptr;
  SystemFolders folders_;
};

}  // namespace vorna
