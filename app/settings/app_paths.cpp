#include "app/settings/app_paths.h"

#include <filesystem>
#include <system_error>

#include "app/settings/app_paths_platform.h"
#include "base/config_folder.h"
#include "base/platform.h"

namespace vorna {
namespace {

std::size_t FileNameStart(std::string_view path) {
  const std::size_t separator = path.find_last_of(PATH_SEPARATORS);
  return separator == std::string_view::npos ? 0 : separator + 1;
}

}  // namespace

std::string FolderOf(std::string_view path) {
  const std::size_t start = FileNameStart(path);
  if (start == 0) return {};
  // A root folder keeps its separator ("/", "C:\\").
  const std::size_t root = RootLength(path);
  return std::string(path.substr(0, start <= root ? root : start - 1));
}

std::string FileNameOf(std::string_view path) { return std::string(path.substr(FileNameStart(path))); }

std::string ApplicationName(std::string_view executablePath) {
  const std::string name = FileNameOf(executablePath);
  return name.substr(0, name.rfind('.'));
}

std::string SettingsPathBesideExecutable(std::string_view executablePath) {
  const std::size_t start = FileNameStart(executablePath);
  const std::size_t dot = executablePath.rfind('.');
  const std::string_view stem =
      (dot != std::string_view::npos && dot >= start) ? executablePath.substr(0, dot) : executablePath;
  return std::string(stem) + std::string(SETTINGS_EXTENSION);
}

std::string ChooseSettingsPath(std::string_view executablePath,
                               const std::function<bool(const std::string& folder)>& folderWritable,
                               std::string_view userFolder) {
  const std::string beside = SettingsPathBesideExecutable(executablePath);
  const std::string executableFolder = FolderOf(executablePath);
  if (folderWritable(executableFolder.empty() ? std::string(".") : executableFolder)) return beside;
  if (userFolder.empty()) return beside;
  return JoinPath(userFolder, FileNameOf(beside));
}

std::string HelpFilePath(std::string_view executablePath) { return JoinPath(FolderOf(executablePath), HELP_FILE_NAME); }

std::vector<std::string> HelpFileCandidates(std::string_view executablePath) {
  std::vector<std::string> candidates{HelpFilePath(executablePath)};
  const std::string executableFolder = FolderOf(executablePath);
  if (!executableFolder.empty()) {
    candidates.push_back(JoinPath(JoinPath(FolderOf(executableFolder), INSTALLED_DATA_FOLDER), HELP_FILE_NAME));
  }
  return candidates;
}

std::string ChooseHelpPath(std::string_view executablePath,
                           const std::function<bool(const std::string& path)>& fileExists) {
  const std::vector<std::string> candidates = HelpFileCandidates(executablePath);
  for (const std::string& candidate : candidates) {
    if (fileExists(candidate)) return candidate;
  }
  return candidates.front();
}

bool FileExists(const std::string& path) {
  std::error_code error;
  return std::filesystem::is_regular_file(path, error);
}

}  // namespace vorna
