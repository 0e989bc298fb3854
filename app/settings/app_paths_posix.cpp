#include <unistd.h>

#include <array>

#include "app/settings/app_paths.h"
#include "app/settings/app_paths_platform.h"
#include "base/config_folder.h"

namespace vorna {

std::size_t RootLength(std::string_view path) { return !path.empty() && path.front() == '/' ? 1 : 0; }

bool FolderWritable(const std::string& folder) { return ::access(folder.c_str(), W_OK | X_OK) == 0; }

std::string OwnExecutablePath() {
  std::array<char, 4096> buffer{};
  const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
  if (length <= 0 || static_cast<std::size_t>(length) >= buffer.size()) return {};
  return std::string(buffer.data(), static_cast<std::size_t>(length));
}

AppPaths ResolveAppPaths(std::string_view executablePath) {
  return {ApplicationName(executablePath),
          ChooseSettingsPath(executablePath, FolderWritable,
                             UserSettingsFolder(EnvironmentValue("XDG_CONFIG_HOME"), EnvironmentValue("HOME"))),
          ChooseHelpPath(executablePath, FileExists)};
}

}  // namespace vorna
