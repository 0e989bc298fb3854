#pragma once
// Opening files the same way on every platform: binary, not inherited by
// programs this one starts, never taken as a controlling terminal.

#include <string>

#include "base/file_io.h"

namespace vorna {

// Opens `path` for reading; with RegularOnly the open does not wait for a
// FIFO's writer. The descriptor, or -1 with errno set.
int OpenForReading(const std::string& path, FileKinds kinds);

// Creates `path` for writing; fails with EEXIST when it exists. `mode` is
// narrowed by the umask where the platform has one.
int CreateNewFile(const std::string& path, int mode);

// Creates `path` for writing, or empties it when it exists.
int CreateOrTruncateFile(const std::string& path, int mode);

}  // namespace vorna
