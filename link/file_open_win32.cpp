#include "link/file_open.h"

#include <fcntl.h>
#include <io.h>

namespace vorna {

int OpenForReading(const std::string& path, FileKinds) { return ::_open(path.c_str(), O_RDONLY | O_BINARY); }

int CreateNewFile(const std::string& path, int mode) {
  return ::_open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_BINARY, mode);
}

}  // namespace vorna
