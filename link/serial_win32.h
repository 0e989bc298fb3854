#pragma once
// A COM port on Windows: "\\.\COMn" opened exclusively without overlapped
// input/output, the read time-outs of the packet contract left to the
// driver through SetCommTimeouts, a write time-out so that a stuck device
// cannot hang a command, stale input discarded at open (PurgeComm, then
// what comes until the line is quiet), and the line watched after a reply,
// as protocol.h says. A port that
// refuses the time-outs is not opened: its own may let a read wait forever.
// The line settings stay as the port has them.
//
// The time-out record below needs no Windows header, so that its values can
// be checked on every platform.

#include <cstdint>
#include <span>

#include "link/protocol.h"

namespace vorna {

// The fields of the driver's COMMTIMEOUTS record, in milliseconds.
struct SerialTimeouts {
  std::uint32_t readIntervalTimeout;
  std::uint32_t readTotalTimeoutMultiplier;
  std::uint32_t readTotalTimeoutConstant;
  std::uint32_t writeTotalTimeoutMultiplier;
  std::uint32_t writeTotalTimeoutConstant;
};

constexpr SerialTimeouts PortTimeouts() {
  return {static_cast<std::uint32_t>(READ_INTERVAL_TIMEOUT_MS), static_cast<std::uint32_t>(READ_TOTAL_MULTIPLIER_MS),
          static_cast<std::uint32_t>(READ_TOTAL_CONSTANT_MS), 0, static_cast<std::uint32_t>(WRITE_TIMEOUT_MS)};
}

}  // namespace vorna

#ifdef _WIN32

#include "base/windows_api.h"

#include "link/transport.h"

namespace vorna {

class Win32SerialTransport final : public Transport {
 public:
  // The driver call that sets a port's time-outs; tests put a failing one in
  // its place.
  using SetTimeoutsCall = BOOL(WINAPI*)(HANDLE, LPCOMMTIMEOUTS);

  explicit Win32SerialTransport(SetTimeoutsCall setTimeouts = ::SetCommTimeouts) : setTimeouts_(setTimeouts) {}
  ~Win32SerialTransport() override;
  Win32SerialTransport(const Win32SerialTransport&) = delete;
  Win32SerialTransport& operator=(const Win32SerialTransport&) = delete;

  bool Open(const std::string& device) override;
  void Close() override;
  bool IsOpen() const override { return handle_ != INVALID_HANDLE_VALUE; }
  bool Write(std::span<const std::uint8_t> bytes) override;
  std::optional<std::size_t> Read(std::span<std::uint8_t> buffer) override;
  bool ReplyEnded() override;
  std::string LastError() const override { return lastError_; }

 private:
  bool Fail(const std::string& what, DWORD error);
  bool SetTimeouts(HANDLE handle, const SerialTimeouts& wanted);
  struct Drained {
    std::size_t bytes = 0;
    bool quiet = true;  // false: still busy after LINE_DRAIN_LIMIT_MS
  };
  // Reads and drops what arrives until the line has been quiet for
  // `quietMs`, the port's time-outs set for it meanwhile; nullopt when the
  // time-outs could not be set (lastError_ says why).
  std::optional<Drained> DrainUntilQuiet(DWORD quietMs);

  SetTimeoutsCall setTimeouts_;
  HANDLE handle_ = INVALID_HANDLE_VALUE;
  std::string lastError_;
  // The driver reads a whole reply at once: its bytes' average spacing,
  // (time taken) / (bytes), stands for the longest gap between them.
  int replySpacingMs_ = 0;
};

}  // namespace vorna

#endif  // _WIN32
