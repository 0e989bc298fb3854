#include "base/file_open.h"

#include "base/windows_api.h"

#include <fcntl.h>
#include <io.h>

#include <cerrno>

namespace vorna {

int OpenForReading(const std::string& path, FileKinds) {
  const int fd = ::_open(path.c_str(), O_RDONLY | O_BINARY);
  if (fd < 0 && errno == EACCES) {
    // The system refuses to open a folder as a file; say so, as POSIX does.
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) errno = EISDIR;
  }
  return fd;
}

int CreateNewFile(const std::string& path, int mode) {
  return ::_open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_BINARY, mode);
}

int CreateOrTruncateFile(const std::string& path, int mode) {
  return ::_open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_BINARY, mode);
}

}  // namespace vorna
