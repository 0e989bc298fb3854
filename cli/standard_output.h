#pragma once
// vornactl's standard output and error: a stream buffer over a file
// descriptor that keeps the system's reason for the first write that
// failed, so that output which could not be written is reported, never lost
// in silence.

#include <array>
#include <streambuf>
#include <string>

namespace vorna::cli {

class DescriptorOutput final : public std::streambuf {
 public:
  explicit DescriptorOutput(int fd) : fd_(fd) { setp(buffer_.data(), buffer_.data() + buffer_.size()); }
  DescriptorOutput(const DescriptorOutput&) = delete;
  DescriptorOutput& operator=(const DescriptorOutput&) = delete;

  // errno of the first write that failed; 0 while none has. Every write
  // after it fails too.
  int error() const { return error_; }

 protected:
  int_type overflow(int_type c) override;
  std::streamsize xsputn(const char* data, std::streamsize count) override;
  int sync() override;

 private:
  static constexpr std::size_t BUFFER_SIZE = 4096;
  bool Drain();

  int fd_;
  int error_ = 0;
  std::array<char, BUFFER_SIZE> buffer_{};
};

// Why `out` failed: the system's reason when it writes through a
// DescriptorOutput, empty otherwise.
std::string OutputFailureReason(const std::ostream& out);

}  // namespace vorna::cli
