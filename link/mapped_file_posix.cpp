#include "link/mapped_file.h"

#include <sys/mman.h>

namespace vorna {

MappedFile::MappedFile(int fd, std::size_t length) : length_(length) {
  void* address = ::mmap(nullptr, length, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
  if (address != MAP_FAILED) address_ = address;
}

MappedFile::~MappedFile() {
  if (mapped()) ::munmap(address_, length_);
}

}  // namespace vorna
