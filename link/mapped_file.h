#pragma once
// A whole file mapped read-only, unmapped when done. Where the platform
// maps no files here, or the mapping fails, nothing is mapped and the
// caller reads the file instead.

#include <cstddef>
#include <string_view>

namespace vorna {

class MappedFile {
 public:
  MappedFile(int fd, std::size_t length);
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;
  ~MappedFile();
  bool mapped() const { return address_ != nullptr; }
  std::string_view text() const { return {static_cast<const char*>(address_), length_}; }

 private:
  std::size_t length_;
  void* address_ = nullptr;
};

}  // namespace vorna
