#pragma once
// Names and places derived from the executable's own path: the application
// name that captions message boxes, the settings file and the help file.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/config_folder.h"

namespace vorna {

inline constexpr std::string_view SETTINGS_EXTENSION = ".ini";
inline constexpr std::string_view HELP_FILE_NAME = "VORNAHLP.html";
// Where an installation keeps its documents, below its prefix: a system
// install cannot put them beside the executable in bin/.
inline constexpr std::string_view INSTALLED_DATA_FOLDER = "share/vorna";

// Settings-file section and keys.
inline constexpr std::string_view SETTINGS_SECTION = "SETTING";
inline constexpr std::string_view SETTINGS_KEY_PORT = "COM";
inline constexpr std::string_view SETTINGS_KEY_HEX_FILE = "FILE";
inline constexpr int DEFAULT_PORT_NUMBER = 1;

struct AppPaths {
  std::string applicationName;
  std::string settingsPath;
  std::string helpPath;
};

// The folder part of a path, without a trailing separator unless it is a
// root folder ("/", and "C:\\" on Windows); empty when the path names no
// folder. On Windows '\\' and '/' both separate folders, here and below.
std::string FolderOf(std::string_view path);

// The file-name part of a path.
std::string FileNameOf(std::string_view path);

// The executable's file name without its extension: everything of the file
// name before its last '.'.
std::string ApplicationName(std::string_view executablePath);

// The executable's path with the extension of its file name replaced by
// ".ini" (appended when the name has none). Dots in folder names do not
// count: /opt/my.tools/vorna gives /opt/my.tools/vorna.ini.
std::string SettingsPathBesideExecutable(std::string_view executablePath);

// The folder for an installed copy's settings on POSIX systems: the user's
// configuration folder for this program (see base/config_folder.h). On
// Windows it is vorna in the user's roaming application data, %APPDATA%.
inline std::string UserSettingsFolder(std::string_view xdgConfigHome, std::string_view home) {
  return UserConfigFolder(xdgConfigHome, home);
}

// Beside the executable when its folder can be written, as a portable copy
// expects; otherwise, for an installed copy, the same file name in
// `userFolder`. Beside the executable also when there is no user folder
// (empty): writes there then fail silently.
std::string ChooseSettingsPath(std::string_view executablePath,
                               const std::function<bool(const std::string& folder)>& folderWritable,
                               std::string_view userFolder);

// VORNAHLP.html in the executable's folder, whatever the executable is called.
std::string HelpFilePath(std::string_view executablePath);

// The places the help file is looked for, in order: beside the executable
// (an unpacked copy, the build tree), then <prefix>/share/vorna where
// <prefix> is the folder above the executable's (bin/vorna in an
// installation). Both follow the executable, so an installation that was
// moved, such as a package unpacked into another root, finds its own help.
// A bare file name has no folder above it and gives only the first.
std::vector<std::string> HelpFileCandidates(std::string_view executablePath);

// The first candidate that exists; beside the executable when none does, so
// that Help then shows nothing, as with a missing file beside it.
std::string ChooseHelpPath(std::string_view executablePath,
                           const std::function<bool(const std::string& path)>& fileExists);

// Whether this process may create files in `folder` (on Windows, found out
// by creating one and removing it again).
bool FolderWritable(const std::string& folder);

// Whether `path` names a regular file (following links).
bool FileExists(const std::string& path);

// All three for the running executable: the help through ChooseHelpPath,
// the settings through ChooseSettingsPath, looking at the file system and
// the environment (XDG_CONFIG_HOME and HOME; on Windows APPDATA).
AppPaths ResolveAppPaths(std::string_view executablePath);

// The full path of this process's executable, in UTF-8; empty when the
// system does not tell it.
std::string OwnExecutablePath();

}  // namespace vorna
