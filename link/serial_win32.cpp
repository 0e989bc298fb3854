#include "link/serial_win32.h"

#include <algorithm>
#include <chrono>
#include <string>

#include "link/line_quiet.h"
#include "link/system_transport.h"

namespace vorna {

namespace {

using Clock = std::chrono::steady_clock;

// Longer than any system message, which is cut to fit otherwise.
constexpr DWORD MESSAGE_CAPACITY = 512;

std::string SystemMessage(DWORD error) {
  char text[MESSAGE_CAPACITY] = {};
  const DWORD length =
      ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_MAX_WIDTH_MASK,
                       nullptr, error, 0, text, MESSAGE_CAPACITY, nullptr);
  std::string message(text, length);
  // The system ends its messages with a full stop and white space.
  while (!message.empty() &&
         (message.back() == ' ' || message.back() == '.' || message.back() == '\r' || message.back() == '\n'))
    message.pop_back();
  if (message.empty()) message = "unknown error";
  return message + ", error " + std::to_string(error);
}

// What the common failures mean for a COM port, where the system's own
// words talk about files.
std::string Explain(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return "no such device (" + SystemMessage(error) + ")";
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
      return "busy: another program has the port open (" + SystemMessage(error) + ")";
    default:
      return SystemMessage(error);
  }
}

long long MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

DWORD ClampToDword(std::size_t count) { return static_cast<DWORD>(std::min<std::size_t>(count, MAXDWORD)); }

}  // namespace

Win32SerialTransport::~Win32SerialTransport() { Close(); }

bool Win32SerialTransport::Fail(const std::string& what, DWORD error) {
  lastError_ = what + ": " + Explain(error);
  return false;
}

bool Win32SerialTransport::Open(const std::string& device) {
  Close();
  lastError_.clear();
  // No sharing: a second program, or a second open in this one, fails.
  const HANDLE handle =
      ::CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return Fail("open", ::GetLastError());
  if (::GetFileType(handle) != FILE_TYPE_CHAR) {
    ::CloseHandle(handle);
    lastError_ = "open: not a character device";
    return false;
  }
  // The driver applies the time-outs to every ReadFile and WriteFile.
  if (!SetTimeouts(handle, PortTimeouts())) {
    ::CloseHandle(handle);
    return false;
  }
  // Each command starts clean: whatever the board sent before is not a
  // reply, nor is what it is still sending of an answer nobody waits for.
  ::PurgeComm(handle, PURGE_RXCLEAR);
  handle_ = handle;
  const auto start = Clock::now();
  const auto drained = DrainUntilQuiet(LINE_QUIET_AT_OPEN_MS);
  if (!drained || !drained->quiet) {
    if (drained) {
      lastError_ = StillSendingAtOpen(drained->bytes, MillisecondsSince(start));
    }
    Close();
    return false;
  }
  return true;
}

bool Win32SerialTransport::SetTimeouts(HANDLE handle, const SerialTimeouts& wanted) {
  COMMTIMEOUTS timeouts{};
  timeouts.ReadIntervalTimeout = wanted.readIntervalTimeout;
  timeouts.ReadTotalTimeoutMultiplier = wanted.readTotalTimeoutMultiplier;
  timeouts.ReadTotalTimeoutConstant = wanted.readTotalTimeoutConstant;
  timeouts.WriteTotalTimeoutMultiplier = wanted.writeTotalTimeoutMultiplier;
  timeouts.WriteTotalTimeoutConstant = wanted.writeTotalTimeoutConstant;
  if (setTimeouts_(handle, &timeouts)) return true;
  // The system's own words: here a refusal is not another program's.
  lastError_ = "time-outs: " + SystemMessage(::GetLastError());
  return false;
}

std::optional<Win32SerialTransport::Drained> Win32SerialTransport::DrainUntilQuiet(DWORD quietMs) {
  // Both read fields at MAXDWORD and a constant: a read returns at once with
  // what is buffered, or with the first byte to come, or with none after
  // the constant.
  SerialTimeouts waitForAny = PortTimeouts();
  waitForAny.readIntervalTimeout = MAXDWORD;
  waitForAny.readTotalTimeoutMultiplier = MAXDWORD;
  waitForAny.readTotalTimeoutConstant = quietMs;
  if (!SetTimeouts(handle_, waitForAny)) return std::nullopt;
  const auto limit = Clock::now() + std::chrono::milliseconds(LINE_DRAIN_LIMIT_MS);
  Drained drained;
  std::uint8_t dropped[256];
  for (DWORD got = 0; ::ReadFile(handle_, dropped, sizeof dropped, &got, nullptr) && got > 0;) {
    drained.bytes += got;
    if (Clock::now() >= limit) {
      drained.quiet = false;
      break;
    }
  }
  // A failed read leaves the next read to tell why.
  if (!SetTimeouts(handle_, PortTimeouts())) return std::nullopt;
  return drained;
}

void Win32SerialTransport::Close() {
  if (handle_ == INVALID_HANDLE_VALUE) return;
  ::CloseHandle(handle_);
  handle_ = INVALID_HANDLE_VALUE;
}

bool Win32SerialTransport::Write(std::span<const std::uint8_t> bytes) {
  const std::size_t count = bytes.size();
  if (handle_ == INVALID_HANDLE_VALUE) {
    lastError_ = "write: the port is not open";
    return false;
  }
  DWORD written = 0;
  if (!::WriteFile(handle_, bytes.data(), ClampToDword(count), &written, nullptr))
    return Fail("write", ::GetLastError());
  // A write that succeeds short of the count ran into the write time-out.
  if (written < count) {
    lastError_ = "write: timed out after " + std::to_string(WRITE_TIMEOUT_MS) + " ms with " + std::to_string(written) +
                 " of " + std::to_string(count) + " bytes sent";
    return false;
  }
  return true;
}

std::optional<std::size_t> Win32SerialTransport::Read(std::span<std::uint8_t> buffer) {
  const std::size_t count = buffer.size();
  if (handle_ == INVALID_HANDLE_VALUE) {
    lastError_ = "read: the port is not open";
    return std::nullopt;
  }
  const auto start = Clock::now();
  DWORD got = 0;
  if (!::ReadFile(handle_, buffer.data(), ClampToDword(count), &got, nullptr)) {
    Fail("read", ::GetLastError());
    return std::nullopt;
  }
  const long long waited = MillisecondsSince(start);
  replySpacingMs_ = got > 1 ? static_cast<int>(waited / got) : 0;
  if (got < count) {
    lastError_ = "read: " + std::to_string(got) + " of " + std::to_string(count) + " bytes after " +
                 std::to_string(waited) + " ms";
  }
  return got;
}

bool Win32SerialTransport::ReplyEnded() {
  if (handle_ == INVALID_HANDLE_VALUE) return true;
  const auto start = Clock::now();
  const auto drained = DrainUntilQuiet(static_cast<DWORD>(ReplyQuietMs(replySpacingMs_)));
  if (!drained) return false;
  if (drained->bytes == 0) return true;
  lastError_ = StillSendingAfterReply(drained->bytes, MillisecondsSince(start), !drained->quiet);
  return false;
}

std::unique_ptr<Transport> MakeSystemTransport(const volatile std::sig_atomic_t*) {
  return std::make_unique<Win32SerialTransport>();
}

}  // namespace vorna
