#pragma once
// A transport wrapper that writes every request and reply, with the time
// since it was created, as hex to a stream: the verbose trace of the
// command-line tool.

#include <chrono>
#include <ostream>
#include <span>

#include "link/transport.h"

namespace vorna {

class TracingTransport final : public Transport {
 public:
  TracingTransport(Transport& inner, std::ostream& trace);

  bool Open(const std::string& device) override;
  void Close() override;
  bool IsOpen() const override { return inner_.IsOpen(); }
  bool Write(std::span<const std::uint8_t> bytes) override;
  std::optional<std::size_t> Read(std::span<std::uint8_t> buffer) override;
  bool ReplyEnded() override;
  std::string LastError() const override { return inner_.LastError(); }

 private:
  void Line(const std::string& text);

  Transport& inner_;
  std::ostream& trace_;
  std::chrono::steady_clock::time_point start_;
};

}  // namespace vorna
