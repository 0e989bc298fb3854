#include "link/file_open.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

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

}  // namespace vorna
