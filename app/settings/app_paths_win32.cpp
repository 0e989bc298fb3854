#include "base/windows_api.h"

#include <string>

#include "app/settings/app_paths.h"
#include "app/settings/app_paths_platform.h"
#include "base/config_folder.h"
#include "base/platform.h"

namespace vorna {
namespace {

// Far beyond the longest path the system hands out.
constexpr DWORD MAX_PATH_CHARACTERS = 32768;
// The settings folder of an installed copy, in the user's roaming
// application data.
constexpr const char* APP_DATA_VARIABLE = "APPDATA";
constexpr std::string_view APP_DATA_FOLDER = "vorna";

bool IsSeparator(char c) { return PATH_SEPARATORS.find(c) != std::string_view::npos; }

std::wstring Utf16(const std::string& text) {
  if (text.empty()) return {};
  const int length =
      ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (length <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return wide;
}

std::string Utf8(const std::wstring& wide) {
  if (wide.empty()) return {};
  const int length =
      ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  if (length <= 0) return {};
  std::string text(static_cast<std::size_t>(length), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), text.data(), length, nullptr, nullptr);
  return text;
}

}  // namespace

std::size_t RootLength(std::string_view path) {
  if (!path.empty() && IsSeparator(path.front())) return 1;
  const bool drive = path.size() >= 3 && ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')) &&
                     path[1] == ':' && IsSeparator(path[2]);
  return drive ? 3 : 0;
}

// Access lists decide who may create files, and only the system can weigh
// them: a file is made and removed again to find out.
bool FolderWritable(const std::string& folder) {
  const std::string probe = JoinPath(
      folder, ".vorna-probe-" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(::GetTickCount64()));
  const HANDLE file = ::CreateFileW(Utf16(probe).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  ::CloseHandle(file);
  return true;
}

std::string OwnExecutablePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      return Utf8(path);
    }
    if (path.size() >= MAX_PATH_CHARACTERS) return {};
    path.resize(path.size() * 2);
  }
}

// A copy in a folder the user may write keeps its settings beside itself;
// an installed one, below Program Files, in %APPDATA%\vorna.
AppPaths ResolveAppPaths(std::string_view executablePath) {
  // Read as the file functions below take their paths: in the system's
  // narrow encoding.
  const std::string_view appData = EnvironmentValue(APP_DATA_VARIABLE);
  const std::string userFolder = appData.empty() ? std::string() : JoinPath(appData, APP_DATA_FOLDER);
  return {ApplicationName(executablePath), ChooseSettingsPath(executablePath, FolderWritable, userFolder),
          ChooseHelpPath(executablePath, FileExists)};
}

}  // namespace vorna
