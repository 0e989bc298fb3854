#pragma once
// A serial device on a POSIX system: raw mode, exclusive (TIOCEXCL plus an
// advisory flock, which also holds against root), stale input discarded at
// open, and the read time-outs of the packet contract done with poll().

#include "link/transport.h"

namespace vorna {

class PosixSerialTransport final : public Transport {
 public:
  PosixSerialTransport() = default;
  ~PosixSerialTransport() override;
  PosixSerialTransport(const PosixSerialTransport&) = delete;
  PosixSerialTransport& operator=(const PosixSerialTransport&) = delete;

  bool Open(const std::string& device) override;
  void Close() override;
  bool IsOpen() const override { return fd_ >= 0; }
  bool Write(const std::uint8_t* data, std::size_t count) override;
  std::optional<std::size_t> Read(std::uint8_t* data, std::size_t count) override;
  std::string LastError() const override { return lastError_; }

 private:
  bool Fail(const std::string& what, int error);

  int fd_ = -1;
  std::string lastError_;
};

}  // namespace vorna
