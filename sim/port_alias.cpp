#include "sim/port_alias.h"

#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <utility>
#include <vector>

namespace vorna::sim {

namespace {
constexpr const char* ALIAS_PREFIX = "COM";
constexpr const char* TEMPORARY_SUFFIX = ".new";
}  // namespace

std::optional<std::string> LinkTarget(const std::string& path) {
  std::vector<char> buffer(PATH_MAX);
  const ssize_t length = ::readlink(path.c_str(), buffer.data(), buffer.size());
  if (length < 0 || static_cast<std::size_t>(length) >= buffer.size()) return std::nullopt;
  return std::string(buffer.data(), static_cast<std::size_t>(length));
}

std::optional<PortAlias> PortAlias::Create(const std::string& folder, int portNumber, const std::string& target,
                                           std::string& error) {
  if (folder.empty()) {
    error = "no port-alias folder: neither XDG_CONFIG_HOME nor HOME is set";
    return std::nullopt;
  }
  std::error_code failure;
  std::filesystem::create_directories(folder, failure);
  if (failure) {
    error = "cannot create " + folder + ": " + failure.message();
    return std::nullopt;
  }
  const std::string path = folder + "/" + ALIAS_PREFIX + std::to_string(portNumber);
  struct stat info {};
  if (::lstat(path.c_str(), &info) == 0 && !S_ISLNK(info.st_mode)) {
    error = path + " exists and is not a symbolic link: left alone";
    return std::nullopt;
  }
  // Made beside it and renamed over it, so the name never goes missing.
  const std::string temporary = path + TEMPORARY_SUFFIX + std::to_string(::getpid());
  ::unlink(temporary.c_str());
  if (::symlink(target.c_str(), temporary.c_str()) != 0) {
    error = "cannot create " + temporary + ": " + std::strerror(errno);
    return std::nullopt;
  }
  if (::rename(temporary.c_str(), path.c_str()) != 0) {
    error = "cannot rename " + temporary + " to " + path + ": " + std::strerror(errno);
    ::unlink(temporary.c_str());
    return std::nullopt;
  }
  return PortAlias(path, target);
}

PortAlias::PortAlias(PortAlias&& other) noexcept
    : path_(std::exchange(other.path_, {})), target_(std::exchange(other.target_, {})) {}

PortAlias::~PortAlias() {
  if (path_.empty()) return;
  if (LinkTarget(path_) == target_) ::unlink(path_.c_str());
}

}  // namespace vorna::sim
