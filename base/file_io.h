#pragma once
// Whole-file reads and writes on file descriptors.

#include <cstddef>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

namespace vorna {

// Writes all of `data`, going on after a short write or an interrupted one.
// False on the first failing write, with errno telling why.
bool WriteAll(int fd, std::string_view data);

// Which files ReadWholeFile takes.
enum class FileKinds {
  Any,
  // Regular files only: the open does not wait (a FIFO is refused, not
  // waited for) and a device, which might never end, is never read.
  RegularOnly,
};

// Why ReadWholeFile read nothing.
struct ReadFailure {
  bool opened = false;  // false: the open (or the look at the file) failed
  int error = 0;        // errno; 0 when a RegularOnly read met another kind
};

// The file's bytes, at most `atMost` of them: a caller that must tell an
// over-long file asks for one byte more than it takes. A directory is
// refused with EISDIR, as the desktop platform's open refuses it. Empty
// when the file cannot be read; `failure`, when given, then says why.
std::optional<std::string> ReadWholeFile(const std::string& path,
                                         std::size_t atMost = std::numeric_limits<std::size_t>::max(),
                                         FileKinds kinds = FileKinds::Any, ReadFailure* failure = nullptr);

}  // namespace vorna
