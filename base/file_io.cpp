#include "base/file_io.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "base/file_open.h"
#include "base/unique_fd.h"

namespace vorna {
namespace {
// The first buffer for a file whose size the system does not tell (a pipe,
// a /proc file).
constexpr std::size_t FIRST_READ_SIZE = 4096;
}  // namespace

bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const auto written = ::write(fd, data.data(), data.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

std::optional<std::string> ReadWholeFile(const std::string& path, std::size_t atMost, FileKinds kinds,
                                         ReadFailure* failure) {
  ReadFailure ignored;
  ReadFailure& why = failure != nullptr ? *failure : ignored;
  why = {};
  const UniqueFd fd(OpenForReading(path, kinds));
  struct stat info {};
  if (!fd.valid() || ::fstat(fd.get(), &info) != 0) {
    why.error = errno;
    return std::nullopt;
  }
  if (S_ISDIR(info.st_mode)) {
    why.error = EISDIR;
    return std::nullopt;
  }
  why.opened = true;
  if (kinds == FileKinds::RegularOnly && !S_ISREG(info.st_mode)) return std::nullopt;
  // The size the file claims, plus one byte to catch a file that grew.
  const std::size_t expected = info.st_size > 0 ? static_cast<std::size_t>(info.st_size) : FIRST_READ_SIZE - 1;
  std::string text(std::min(expected, atMost - std::min<std::size_t>(atMost, 1)) + 1, '\0');
  std::size_t got = 0;
  while (got < atMost) {
    if (got == text.size()) text.resize(std::min(text.size() * 2, atMost));
    const auto n = ::read(fd.get(), text.data() + got, text.size() - got);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      why.error = errno;
      return std::nullopt;
    }
    got += static_cast<std::size_t>(n);
  }
  text.resize(got);
  return text;
}

}  // namespace vorna
