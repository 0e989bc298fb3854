#include "base/file_open.h"

#include <fcntl.h>

namespace vorna {

int OpenForReading(const std::string& path, FileKinds kinds) {
  const int wait = kinds == FileKinds::RegularOnly ? O_NONBLOCK : 0;
  return ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | wait);
}

int CreateNewFile(const std::string& path, int mode) {
  return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, mode);
}

int CreateOrTruncateFile(const std::string& path, int mode) {
  return ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY, mode);
}

}  // namespace vorna
