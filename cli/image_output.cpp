#include "cli/image_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <random>
#include <system_error>

namespace vorna::cli {
namespace {

namespace fs = std::filesystem;

#ifdef _WIN32
constexpr int kCreateFlags = O_WRONLY | O_CREAT | O_EXCL | O_BINARY;
#else
constexpr int kCreateFlags = O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY;
#endif
// Names tried for the temporary file before giving up.
constexpr int kNameAttempts = 16;

std::string ErrnoText(int error) { return std::generic_category().message(error); }

// A hidden name beside `path` that no other file has.
int CreateBeside(const fs::path& path, std::string& created) {
  std::random_device random;
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    const fs::path candidate = path.parent_path() / ("." + path.filename().string() + "." +
                                                     std::to_string(random()) + ".part");
    const int fd = ::open(candidate.string().c_str(), kCreateFlags, 0666);
    if (fd >= 0 || errno != EEXIST) {
      created = candidate.string();
      return fd;
    }
  }
  return -1;
}

bool WriteAll(int fd, const std::uint8_t* bytes, std::size_t size) {
  // One write for the whole image; the loop only continues a short one.
  while (size > 0) {
    const auto written = ::write(fd, bytes, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

}  // namespace

ImageOutput CheckImageOutput(const std::string& input, const std::string& output) {
  std::error_code error;
  fs::path target = output;
  if (fs::is_symlink(fs::symlink_status(target, error))) {
    target = fs::canonical(target, error);
    if (error) return {output, error.message()};
  }
  const fs::file_status status = fs::status(target, error);
  if (status.type() == fs::file_type::not_found) return {target.string(), ""};
  if (error) return {output, error.message()};
  if (status.type() != fs::file_type::regular) return {output, "not a regular file"};
  if (fs::equivalent(input, target, error)) return {output, "it is the input file"};
  // The rename needs only the folder's permission; a file its owner made
  // read-only stays as it is, as it would for a write into it.
  if (::access(target.string().c_str(), W_OK) != 0) return {output, ErrnoText(errno)};
  return {target.string(), ""};
}

std::string WriteImageFile(const std::string& path, const std::uint8_t* bytes, std::size_t size) {
  std::string temporary;
  const int fd = CreateBeside(path, temporary);
  if (fd < 0) return ErrnoText(errno);
  std::error_code error;
  bool whole = WriteAll(fd, bytes, size);
  int saved = whole ? 0 : errno;
#ifndef _WIN32
  struct stat existing {};
  if (whole && ::stat(path.c_str(), &existing) == 0) {
    // Only root may give the file away; anyone else keeps it as their own.
    const bool owned = ::fchown(fd, existing.st_uid, existing.st_gid) == 0 || errno == EPERM;
    if (!owned || ::fchmod(fd, existing.st_mode & 0777) != 0) {
      whole = false;
      saved = errno;
    }
  }
#endif
  if (::close(fd) != 0 && whole) {
    whole = false;
    saved = errno;
  }
  if (whole) {
    fs::rename(temporary, path, error);
    if (!error) return {};
  }
  std::error_code ignored;
  fs::remove(temporary, ignored);
  return whole ? error.message() : ErrnoText(saved);
}

}  // namespace vorna::cli
