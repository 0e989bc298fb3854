#include "cli/standard_output.h"

#include <cerrno>
#include <ostream>
#include <string_view>
#include <system_error>

#include "base/file_io.h"

namespace vorna::cli {

bool DescriptorOutput::Drain() {
  const std::string_view pending(pbase(), static_cast<std::size_t>(pptr() - pbase()));
  setp(buffer_.data(), buffer_.data() + buffer_.size());
  if (error_ == 0 && !WriteAll(fd_, pending)) error_ = errno;
  return error_ == 0;
}

DescriptorOutput::int_type DescriptorOutput::overflow(int_type c) {
  if (!Drain()) return traits_type::eof();
  if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
  *pptr() = traits_type::to_char_type(c);
  pbump(1);
  return c;
}

std::streamsize DescriptorOutput::xsputn(const char* data, std::streamsize count) {
  if (count <= epptr() - pptr()) {
    traits_type::copy(pptr(), data, static_cast<std::size_t>(count));
    pbump(static_cast<int>(count));
    return count;
  }
  // Larger than the room left (a memory image): straight through.
  if (!Drain() || !WriteAll(fd_, {data, static_cast<std::size_t>(count)})) {
    if (error_ == 0) error_ = errno;
    return 0;
  }
  return count;
}

int DescriptorOutput::sync() { return Drain() ? 0 : -1; }

std::string OutputFailureReason(const std::ostream& out) {
  const auto* descriptor = dynamic_cast<const DescriptorOutput*>(out.rdbuf());
  return descriptor != nullptr && descriptor->error() != 0 ? std::generic_category().message(descriptor->error())
                                                           : std::string();
}

}  // namespace vorna::cli
