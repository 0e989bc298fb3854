#include "link/mapped_file.h"

namespace vorna {

// The files are read instead: a mapping would need a handle of its own.
MappedFile::MappedFile(int, std::size_t length) : length_(length) {}

MappedFile::~MappedFile() = default;

}  // namespace vorna
