#include "link/serial_posix.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>

#include <utility>

#include "link/file_io.h"
#include "link/port_error_posix.h"
#include "link/protocol.h"

namespace vorna {

namespace {

using Clock = std::chrono::steady_clock;

// /dev/tty (the opener's own controlling terminal, whichever it is) and
// /dev/console: their device numbers never match a process's tty_nr.
constexpr unsigned TTY_ALIAS_MAJOR = 5;
constexpr unsigned TTY_ALIAS_MINOR_TTY = 0;
constexpr unsigned TTY_ALIAS_MINOR_CONSOLE = 1;
// Fields of /proc/PID/stat after the command name: state, ppid, pgrp,
// session, tty_nr.
constexpr int TTY_NR_FIELD_AFTER_NAME = 5;
// Enough for any /proc/PID/stat line.
constexpr std::size_t STAT_LINE_CAPACITY = 4096;

// Reads a small file whole; empty when it cannot be read.
std::string ReadSmallFile(const std::string& path) {
  return ReadWholeFile(path, STAT_LINE_CAPACITY).value_or(std::string());
}

// Why `info`'s device must not be opened as a board; empty when it may.
std::string TerminalInUse(const struct stat& info) {
  const unsigned deviceMajor = major(info.st_rdev);
  const unsigned deviceMinor = minor(info.st_rdev);
  if (deviceMajor == TTY_ALIAS_MAJOR && (deviceMinor == TTY_ALIAS_MINOR_TTY || deviceMinor == TTY_ALIAS_MINOR_CONSOLE))
    return "terminal in use: it stands for a controlling terminal or the console";
  if (const auto process = ProcessControlledBy(info.st_rdev))
    return "terminal in use: the controlling terminal of process " + std::to_string(*process);
  return {};
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
  // Non-blocking so that the open does not wait for carrier detect, and so
  // that reads and writes can be bounded with poll().
  UniqueFd port(::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
  if (!port.valid()) return Fail("open", errno);
  const int fd = port.get();

  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISCHR(info.st_mode)) {
    lastError_ = "open: not a character device";
    return false;
  }
  if (const std::string inUse = TerminalInUse(info); !inUse.empty()) {
    lastError_ = inUse;
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
  // Each command starts clean: whatever the board sent before is not a reply.
  ::tcflush(fd, TCIFLUSH);
  fd_ = std::move(port);
  return true;
}

void PosixSerialTransport::Close() {
  if (!fd_.valid()) return;
  // The next program finds the device as it was. After a hang-up the
  // device takes no settings any more; that failure is of no interest.
  ::tcsetattr(fd_.get(), TCSANOW, &saved_);
  fd_.Close();  // also drops the flock
}

bool PosixSerialTransport::Write(const std::uint8_t* data, std::size_t count) {
  if (!fd_.valid()) {
    lastError_ = "write: the port is not open";
    return false;
  }
  if (Stopped("write")) return false;
  const auto deadline = Clock::now() + std::chrono::milliseconds(WRITE_TIMEOUT_MS);
  std::size_t written = 0;
  while (written < count) {
    const ssize_t n = ::write(fd_.get(), data + written, count - written);
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
    pollfd waiter{fd_.get(), POLLOUT, 0};
    if (::poll(&waiter, 1, left) < 0 && errno != EINTR) return Fail("write", errno);
    if ((waiter.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0 && (waiter.revents & POLLOUT) == 0)
      return Fail("write", EIO);
  }
  return true;
}

std::optional<std::size_t> PosixSerialTransport::Read(std::uint8_t* data, std::size_t count) {
  if (!fd_.valid()) {
    lastError_ = "read: the port is not open";
    return std::nullopt;
  }
  if (Stopped("read")) return std::nullopt;
  const auto start = Clock::now();
  const auto totalDeadline = start + std::chrono::milliseconds(ReadTotalTimeoutMs(count));
  auto intervalDeadline = totalDeadline;
  std::size_t got = 0;
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
    const ssize_t n = ::read(fd_.get(), data + got, count - got);
    if (n > 0) {
      got += static_cast<std::size_t>(n);
      // The gap limit runs from the last byte received, never past the total.
      intervalDeadline = std::min(totalDeadline, Clock::now() + std::chrono::milliseconds(READ_INTERVAL_TIMEOUT_MS));
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

std::optional<dev_t> ControllingTerminalOf(std::string_view statLine) {
  // The command name in parentheses may itself hold blanks and ')'.
  const std::size_t nameEnd = statLine.rfind(')');
  if (nameEnd == std::string_view::npos) return std::nullopt;
  std::string_view rest = statLine.substr(nameEnd + 1);
  std::string_view field;
  for (int i = 0; i < TTY_NR_FIELD_AFTER_NAME; ++i) {
    const std::size_t start = rest.find_first_not_of(' ');
    if (start == std::string_view::npos) return std::nullopt;
    rest.remove_prefix(start);
    const std::size_t end = std::min(rest.find(' '), rest.size());
    field = rest.substr(0, end);
    rest.remove_prefix(end);
  }
  long long number = 0;
  const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), number);
  if (error != std::errc() || end != field.data() + field.size() || number <= 0) return std::nullopt;
  // The kernel's encoding: minor bits 0-7 and 20-31, major bits 8-19.
  const auto encoded = static_cast<unsigned long long>(number);
  const auto deviceMajor = static_cast<unsigned>((encoded >> 8) & 0xFFF);
  const auto deviceMinor = static_cast<unsigned>((encoded & 0xFF) | ((encoded >> 12) & 0xFFF00));
  return makedev(deviceMajor, deviceMinor);
}

std::optional<pid_t> ProcessControlledBy(dev_t terminal, const std::string& processFolder) {
  DIR* folder = ::opendir(processFolder.c_str());
  if (folder == nullptr) return std::nullopt;
  std::optional<pid_t> found;
  while (const dirent* entry = ::readdir(folder)) {
    const std::string_view name(entry->d_name);
    pid_t pid = 0;
    const auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), pid);
    if (error != std::errc() || end != name.data() + name.size()) continue;
    // A process that ended meanwhile has no file left; it holds nothing.
    if (ControllingTerminalOf(ReadSmallFile(processFolder + "/" + std::string(name) + "/stat")) == terminal) {
      found = pid;
      break;
    }
  }
  ::closedir(folder);
  return found;
}

}  // namespace vorna

#include "link/system_transport.h"

namespace vorna {

std::unique_ptr<Transport> MakeSystemTransport(const volatile std::sig_atomic_t* stop) {
  return std::make_unique<PosixSerialTransport>(stop);
}

}  // namespace vorna
