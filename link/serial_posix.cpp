#include "link/serial_posix.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include "link/protocol.h"

namespace vorna {

namespace {

using Clock = std::chrono::steady_clock;

int MillisecondsUntil(Clock::time_point deadline) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

std::string Explain(int error) {
  switch (error) {
    case ENOENT:
    case ENXIO:
    case ENODEV:
      return "no such device";
    case EACCES:
    case EPERM:
      return "permission denied (add the user to the dialout group, then log in again)";
    case EBUSY:
    case EWOULDBLOCK:
      return "busy: another program has the port open";
    case EIO:
      return "input/output error: the device was unplugged or hung up";
    default:
      return std::strerror(error);
  }
}

}  // namespace

PosixSerialTransport::~PosixSerialTransport() { Close(); }

bool PosixSerialTransport::Fail(const std::string& what, int error) {
  lastError_ = what + ": " + Explain(error);
  return false;
}

bool PosixSerialTransport::Open(const std::string& device) {
  Close();
  lastError_.clear();
  // Non-blocking so that the open does not wait for carrier detect, and so
  // that reads and writes can be bounded with poll().
  const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return Fail("open", errno);
  auto discard = [fd] { ::close(fd); };

  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISCHR(info.st_mode)) {
    discard();
    lastError_ = "open: not a character device";
    return false;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    discard();
    return Fail("lock", error);
  }
  if (::ioctl(fd, TIOCEXCL) != 0) {
    const int error = errno;
    discard();
    return Fail("exclusive access", error);
  }
  termios mode {};
  if (::tcgetattr(fd, &mode) != 0) {
    const int error = errno;
    ::ioctl(fd, TIOCNXCL);
    discard();
    return Fail("not a serial device", error);
  }
  // Every byte passes unchanged; baud rate, character size, parity, stop
  // bits and flow control stay as the port has them.
  mode.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON |
                                         IXOFF | IXANY | INPCK);
  mode.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  mode.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN);
  mode.c_cflag |= CREAD | CLOCAL;
  mode.c_cc[VMIN] = 0;
  mode.c_cc[VTIME] = 0;
  if (::tcsetattr(fd, TCSANOW, &mode) != 0) {
    const int error = errno;
    ::ioctl(fd, TIOCNXCL);
    discard();
    return Fail("raw mode", error);
  }
  // Each command starts clean: whatever the board sent before is not a reply.
  ::tcflush(fd, TCIFLUSH);
  fd_ = fd;
  return true;
}

void PosixSerialTransport::Close() {
  if (fd_ < 0) return;
  // Release exclusivity explicitly: a pseudo-terminal keeps the flag while
  // its other side stays open, which would lock out the next command.
  ::ioctl(fd_, TIOCNXCL);
  ::close(fd_);  // also drops the flock
  fd_ = -1;
}

bool PosixSerialTransport::Write(const std::uint8_t* data, std::size_t count) {
  if (fd_ < 0) {
    lastError_ = "write: the port is not open";
    return false;
  }
  const auto deadline = Clock::now() + std::chrono::milliseconds(WRITE_TIMEOUT_MS);
  std::size_t written = 0;
  while (written < count) {
    const ssize_t n = ::write(fd_, data + written, count - written);
    if (n > 0) {
      written += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return Fail("write", errno);
    const int left = MillisecondsUntil(deadline);
    if (left == 0) {
      lastError_ = "write: timed out after " + std::to_string(WRITE_TIMEOUT_MS) + " ms with " +
                   std::to_string(written) + " of " + std::to_string(count) + " bytes sent";
      return false;
    }
    pollfd waiter{fd_, POLLOUT, 0};
    if (::poll(&waiter, 1, left) < 0 && errno != EINTR) return Fail("write", errno);
    if ((waiter.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0 && (waiter.revents & POLLOUT) == 0)
      return Fail("write", EIO);
  }
  return true;
}

std::optional<std::size_t> PosixSerialTransport::Read(std::uint8_t* data, std::size_t count) {
  if (fd_ < 0) {
    lastError_ = "read: the port is not open";
    return std::nullopt;
  }
  const auto start = Clock::now();
  const auto totalDeadline = start + std::chrono::milliseconds(ReadTotalTimeoutMs(count));
  auto intervalDeadline = totalDeadline;
  std::size_t got = 0;
  // Wait first, then read: a reply is rarely in yet when the read starts, so
  // this saves a read that would find nothing.
  while (got < count) {
    const int left = MillisecondsUntil(got > 0 ? intervalDeadline : totalDeadline);
    pollfd waiter{fd_, POLLIN, 0};
    const int ready = ::poll(&waiter, 1, left);
    if (ready < 0) {
      if (errno == EINTR) continue;
      Fail("read", errno);
      return std::nullopt;
    }
    if (ready == 0) break;  // time-out
    if ((waiter.revents & POLLIN) == 0) {
      // Error or hang-up without data: the device is gone.
      Fail("read", EIO);
      return std::nullopt;
    }
    const ssize_t n = ::read(fd_, data + got, count - got);
    if (n > 0) {
      got += static_cast<std::size_t>(n);
      // The gap limit runs from the last byte received, never past the total.
      intervalDeadline =
          std::min(totalDeadline, Clock::now() + std::chrono::milliseconds(READ_INTERVAL_TIMEOUT_MS));
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

}  // namespace vorna

#include "link/system_transport.h"

namespace vorna {

std::unique_ptr<Transport> MakeSystemTransport() { return std::make_unique<PosixSerialTransport>(); }

}  // namespace vorna
