#include "link/serial_posix.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <chrono>

#include <utility>

#include "link/line_quiet.h"
#include "link/port_error_posix.h"
#include "link/protocol.h"

namespace vorna {

namespace {

using Clock = std::chrono::steady_clock;

long long MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

int MillisecondsUntil(Clock::time_point deadline) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

}  // namespace

PosixSerialTransport::~PosixSerialTransport() { Close(); }

bool PosixSerialTransport::Fail(const std::string& what, int error) {
  lastError_ = what + ": " + PortErrorReason(error);
  return false;
}

bool PosixSerialTransport::Stopped(const char* what) {
  if (stop_ == nullptr || *stop_ == 0) return false;
  lastError_ = std::string(what) + ": stopped by signal " + std::to_string(*stop_);
  return true;
}

bool PosixSerialTransport::Open(const std::string& device) {
  Close();
  lastError_.clear();
  if (Stopped("open")) return false;
  // What the name leads to is looked at before it is opened: opening a
  // terminal read-write already changes it under its user.
  struct stat named {};
  if (::stat(device.c_str(), &named) != 0) return Fail("open", errno);
  // As the open would have said.
  if (S_ISDIR(named.st_mode)) return Fail("open", EISDIR);
  if (!S_ISCHR(named.st_mode)) {
    lastError_ = "open: not a character device";
    return false;
  }
  // A refused permission says who may open the device.
  const auto failOpen = [&](int error) {
    if (error != EACCES && error != EPERM) return Fail("open", error);
    lastError_ = "open: " + PermissionDeniedReason(named);
    return false;
  };
  // A device this user may not open says so first: that is the reason to act on.
  if (::faccessat(AT_FDCWD, device.c_str(), R_OK | W_OK, AT_EACCESS) != 0) return failOpen(errno);
  if (std::string refusal = TerminalRefusal(named.st_rdev, folders_); !refusal.empty()) {
    lastError_ = std::move(refusal);
    return false;
  }
  // Non-blocking so that the open does not wait for carrier detect, and so
  // that reads and writes can be bounded with poll().
  UniqueFd port(::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  if (!port.valid()) return failOpen(errno);
  const int fd = port.get();
  // The name may have been pointed elsewhere between the look and the open.
  struct stat opened {};
  if (::fstat(fd, &opened) != 0 || !S_ISCHR(opened.st_mode) || opened.st_rdev != named.st_rdev) {
    lastError_ = "open: the device changed while it was opened";
    return false;
  }
  // Not TIOCEXCL: on a pseudo-terminal whose other side stays open the
  // flag outlives a process that was killed, and locks every later open
  // by an ordinary user out. The lock goes with the process.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) return Fail("lock", errno);
  termios mode{};
  if (::tcgetattr(fd, &mode) != 0) return Fail("not a serial device", errno);
  saved_ = mode;
  // For the session only, every byte passes unchanged: no software flow
  // control (XON and XOFF are program bytes), no parity marking or
  // stripping, no line editing, echo, signals or output processing, no
  // wait for carrier, and reads that never block. Baud rate, character
  // size, parity and stop bits are left as the port has them. Close puts
  // every setting back.
  mode.c_iflag &=
      ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY | INPCK);
  mode.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  mode.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN);
  mode.c_cflag |= CREAD | CLOCAL;
  mode.c_cc[VMIN] = 0;
  mode.c_cc[VTIME] = 0;
  if (::tcsetattr(fd, TCSANOW, &mode) != 0) {
    const int error = errno;
    // tcsetattr succeeds when any part took effect; undo whatever did.
    ::tcsetattr(fd, TCSANOW, &saved_);
    return Fail("raw mode", error);
  }
  // Each command starts clean: whatever the board sent before is not a
  // reply, nor is what it is still sending of an answer nobody waits for.
  ::tcflush(fd, TCIFLUSH);
  fd_ = std::move(port);
  const auto start = Clock::now();
  const auto drained = DrainUntilQuiet(LINE_QUIET_AT_OPEN_MS, "open");
  if (!drained || !drained->quiet) {
    if (drained) {
      lastError_ = StillSendingAtOpen(drained->bytes, MillisecondsSince(start));
    }
    Close();
    return false;
  }
  return true;
}

void PosixSerialTransport::Close() {
  if (!fd_.valid()) return;
  // The next program finds the device as it was. After a hang-up the
  // device takes no settings any more; that failure is of no interest.
  ::tcsetattr(fd_.get(), TCSANOW, &saved_);
  fd_.Close();  // also drops the flock
}

bool PosixSerialTransport::Write(std::span<const std::uint8_t> bytes) {
  if (!fd_.valid()) {
    lastError_ = "write: the port is not open";
    return false;
  }
  if (Stopped("write")) return false;
  const auto deadline = Clock::now() + std::chrono::milliseconds(WRITE_TIMEOUT_MS);
  std::size_t written = 0;
  while (written < bytes.size()) {
    const auto rest = bytes.subspan(written);
    const ssize_t n = ::write(fd_.get(), rest.data(), rest.size());
    if (n > 0) {
      written += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return Fail("write", errno);
    const int left = MillisecondsUntil(deadline);
    if (left == 0) {
      lastError_ = "write: timed out after " + std::to_string(WRITE_TIMEOUT_MS) + " ms with " +
                   std::to_string(written) + " of " + std::to_string(bytes.size()) + " bytes sent";
      return false;
    }
    pollfd waiter{fd_.get(), POLLOUT, 0};
    if (::poll(&waiter, 1, left) < 0 && errno != EINTR) return Fail("write", errno);
    if ((waiter.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0 && (waiter.revents & POLLOUT) == 0)
      return Fail("write", EIO);
  }
  return true;
}

std::optional<std::size_t> PosixSerialTransport::Read(std::span<std::uint8_t> buffer) {
  const std::size_t count = buffer.size();
  if (!fd_.valid()) {
    lastError_ = "read: the port is not open";
    return std::nullopt;
  }
  if (Stopped("read")) return std::nullopt;
  const auto start = Clock::now();
  const auto totalDeadline = start + std::chrono::milliseconds(ReadTotalTimeoutMs(count));
  auto intervalDeadline = totalDeadline;
  std::size_t got = 0;
  longestGapMs_ = 0;
  Clock::time_point lastArrival;
  // Wait first, then read: a reply is rarely in yet when the read starts, so
  // this saves a read that would find nothing.
  while (got < count) {
    const int left = MillisecondsUntil(got > 0 ? intervalDeadline : totalDeadline);
    pollfd waiter{fd_.get(), POLLIN, 0};
    const int ready = ::poll(&waiter, 1, left);
    if (ready < 0) {
      if (errno != EINTR) {
        Fail("read", errno);
        return std::nullopt;
      }
      if (Stopped("read")) return std::nullopt;
      continue;
    }
    if (ready == 0) break;  // time-out
    if ((waiter.revents & POLLIN) == 0) {
      // Error or hang-up without data: the device is gone.
      Fail("read", EIO);
      return std::nullopt;
    }
    const auto rest = buffer.subspan(got);
    const ssize_t n = ::read(fd_.get(), rest.data(), rest.size());
    if (n > 0) {
      const auto now = Clock::now();
      if (got > 0) longestGapMs_ = std::max(longestGapMs_, static_cast<int>(MillisecondsSince(lastArrival)));
      got += static_cast<std::size_t>(n);
      lastArrival = now;
      // The gap limit runs from the last byte received, never past the total.
      intervalDeadline = std::min(totalDeadline, now + std::chrono::milliseconds(READ_INTERVAL_TIMEOUT_MS));
      continue;
    }
    if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
    // Readable yet nothing to read, or a read error: the other side hung up.
    Fail("read", n < 0 ? errno : EIO);
    return std::nullopt;
  }
  if (got < count) {
    const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    lastError_ = "read: " + std::to_string(got) + " of " + std::to_string(count) + " bytes after " +
                 std::to_string(waited) + " ms";
  }
  return got;
}

bool PosixSerialTransport::ReplyEnded() {
  if (!fd_.valid()) return true;
  const int quietMs = ReplyQuietMs(longestGapMs_);
  const auto start = Clock::now();
  const auto drained = DrainUntilQuiet(quietMs, "read");
  if (!drained) return false;
  if (drained->bytes == 0) return true;
  lastError_ = StillSendingAfterReply(drained->bytes, MillisecondsSince(start), !drained->quiet);
  return false;
}

std::optional<PosixSerialTransport::Drained> PosixSerialTransport::DrainUntilQuiet(int quietMs, const char* step) {
  const auto limit = Clock::now() + std::chrono::milliseconds(LINE_DRAIN_LIMIT_MS);
  Drained drained;
  std::uint8_t dropped[256];
  for (;;) {
    pollfd waiter{fd_.get(), POLLIN, 0};
    const int ready = ::poll(&waiter, 1, quietMs);
    if (ready < 0 && errno == EINTR) {
      if (Stopped(step)) return std::nullopt;
      continue;
    }
    // Quiet, or a device that failed: the next read or write tells the latter.
    if (ready <= 0 || (waiter.revents & POLLIN) == 0) return drained;
    const ssize_t n = ::read(fd_.get(), dropped, sizeof dropped);
    if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK)) continue;
    if (n <= 0) return drained;
    drained.bytes += static_cast<std::size_t>(n);
    if (Clock::now() >= limit) {
      drained.quiet = false;
      return drained;
    }
  }
}

}  // namespace vorna

#include "link/system_transport.h"

namespace vorna {

std::unique_ptr<Transport> MakeSystemTransport(const volatile std::sig_atomic_t* stop) {
  return std::make_unique<PosixSerialTransport>(stop);
}

}  // namespace vorna
