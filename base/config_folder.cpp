#include "base/config_folder.h"

#include <cstdlib>

#include "base/platform.h"

namespace vorna {
namespace {

constexpr std::string_view XDG_DEFAULT_CONFIG = ".config";
constexpr std::string_view PROGRAM_FOLDER = "vorna";

}  // namespace

std::string_view EnvironmentValue(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::string_view(value) : std::string_view();
}

std::string JoinPath(std::string_view folder, std::string_view name) {
  if (folder.empty()) return std::string(name);
  std::string joined(folder);
  // The separator the folder already uses, so that a Windows path given
  // with '\\' goes on with it.
  const std::size_t last = joined.find_last_of(PATH_SEPARATORS);
  if (last == std::string::npos) {
    joined += PATH_SEPARATORS.front();
  } else if (last + 1 != joined.size()) {
    joined += joined[last];
  }
  joined += name;
  return joined;
}

std::string UserConfigFolder(std::string_view xdgConfigHome, std::string_view home) {
  if (!xdgConfigHome.empty() && xdgConfigHome.front() == '/') return JoinPath(xdgConfigHome, PROGRAM_FOLDER);
  if (!home.empty()) return JoinPath(JoinPath(home, XDG_DEFAULT_CONFIG), PROGRAM_FOLDER);
  return {};
}

std::string UserConfigFolder() {
  return UserConfigFolder(EnvironmentValue("XDG_CONFIG_HOME"), EnvironmentValue("HOME"));
}

}  // namespace vorna
