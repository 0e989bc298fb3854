// The Windows places: drive letters and '\' in the executable's path, the
// settings beside the executable or, where that folder cannot be written,
// in %APPDATA%\vorna, the help beside it or in the installation's
// share\vorna.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <string>

#include "app/settings/app_paths.h"
#include "support/temp_folder.h"

namespace vorna {
namespace {

namespace fs = std::filesystem;

struct WindowsPathCase {
  const char* executable;
  const char* folder;
  const char* applicationName;
  const char* settingsPath;
  const char* helpPath;
};

void PrintTo(const WindowsPathCase& c, std::ostream* os) { *os << c.executable; }

class WindowsPathTest : public ::testing::TestWithParam<WindowsPathCase> {};

TEST_P(WindowsPathTest, BackslashesSeparateFoldersToo) {
  const WindowsPathCase& c = GetParam();
  EXPECT_EQ(FolderOf(c.executable), c.folder);
  EXPECT_EQ(ApplicationName(c.executable), c.applicationName);
  EXPECT_EQ(SettingsPathBesideExecutable(c.executable), c.settingsPath);
  EXPECT_EQ(HelpFilePath(c.executable), c.helpPath);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, WindowsPathTest,
    ::testing::Values(
        WindowsPathCase{"C:\\tools\\vorna.exe", "C:\\tools", "vorna", "C:\\tools\\vorna.ini",
                        "C:\\tools\\VORNAHLP.html"},
        WindowsPathCase{"C:\\my.tools\\VORNA.EXE", "C:\\my.tools", "VORNA", "C:\\my.tools\\VORNA.ini",
                        "C:\\my.tools\\VORNAHLP.html"},
        WindowsPathCase{"D:\\a.b\\vorna", "D:\\a.b", "vorna", "D:\\a.b\\vorna.ini", "D:\\a.b\\VORNAHLP.html"},
        // The root folder of a drive keeps its separator: "C:" alone would be
        // the drive's current folder.
        WindowsPathCase{"C:\\vorna.exe", "C:\\", "vorna", "C:\\vorna.ini", "C:\\VORNAHLP.html"},
        WindowsPathCase{"c:/vorna.exe", "c:/", "vorna", "c:/vorna.ini", "c:/VORNAHLP.html"},
        WindowsPathCase{"\\vorna.exe", "\\", "vorna", "\\vorna.ini", "\\VORNAHLP.html"},
        WindowsPathCase{"C:/Program Files\\vorna\\vorna.exe", "C:/Program Files\\vorna", "vorna",
                        "C:/Program Files\\vorna\\vorna.ini", "C:/Program Files\\vorna\\VORNAHLP.html"},
        WindowsPathCase{"\\\\server\\share\\vorna.exe", "\\\\server\\share", "vorna", "\\\\server\\share\\vorna.ini",
                        "\\\\server\\share\\VORNAHLP.html"},
        // A folder without a separator of its own is joined with '/', which
        // Windows takes as well.
        WindowsPathCase{"tools\\vorna.exe", "tools", "vorna", "tools\\vorna.ini", "tools/VORNAHLP.html"}));

TEST(ResolveAppPathsTest, FindsTheHelpBesideTheExecutableThenInTheInstallation) {
  const test::TempFolder root;
  fs::create_directories(root.path() / "bin");
  fs::create_directories(root.path() / "share" / "vorna");
  const std::string folder = root.path().string() + "\\bin";
  const std::string executable = folder + "\\vorna.exe";
  EXPECT_EQ(ResolveAppPaths(executable).helpPath, folder + "\\VORNAHLP.html");

  std::ofstream(root.path() / "share" / "vorna" / "VORNAHLP.html") << "<html></html>";
  const std::string installed = ResolveAppPaths(executable).helpPath;
  EXPECT_TRUE(FileExists(installed)) << installed;
  EXPECT_EQ(fs::path(installed).lexically_normal(),
            (root.path() / "share" / "vorna" / "VORNAHLP.html").lexically_normal());

  std::ofstream(root.path() / "bin" / "VORNAHLP.html") << "<html></html>";
  EXPECT_EQ(ResolveAppPaths(executable).helpPath, folder + "\\VORNAHLP.html");
  EXPECT_EQ(ResolveAppPaths(executable).settingsPath, folder + "\\vorna.ini");
}

TEST(ResolveAppPathsTest, SettingsInAppDataOnlyForAFolderThatCannotBeWritten) {
  const char* const set = std::getenv("APPDATA");
  const std::string appData = set != nullptr ? set : "";
  ASSERT_EQ(::_putenv_s("XDG_CONFIG_HOME", "/x/cfg"), 0);
  ASSERT_EQ(::_putenv_s("APPDATA", "C:\\users\\me\\AppData\\Roaming"), 0);
  // No such folder here, so nothing in it can be written or found either.
  const std::string executable = "C:\\vorna-no-such-folder\\tools\\vorna.exe";
  const AppPaths paths = ResolveAppPaths(executable);
  EXPECT_EQ(paths.applicationName, "vorna");
  EXPECT_EQ(paths.settingsPath, "C:\\users\\me\\AppData\\Roaming\\vorna\\vorna.ini");
  EXPECT_EQ(paths.helpPath, "C:\\vorna-no-such-folder\\tools\\VORNAHLP.html");

  const test::TempFolder writable;
  EXPECT_EQ(ResolveAppPaths(writable.path().string() + "\\vorna.exe").settingsPath,
            writable.path().string() + "\\vorna.ini");

  ASSERT_EQ(::_putenv_s("APPDATA", ""), 0);
  EXPECT_EQ(ResolveAppPaths(executable).settingsPath, "C:\\vorna-no-such-folder\\tools\\vorna.ini");
  ::_putenv_s("XDG_CONFIG_HOME", "");
  ::_putenv_s("APPDATA", appData.c_str());
}

TEST(OwnExecutablePathTest, IsTheFullPathOfThisTestProgram) {
  const std::string path = OwnExecutablePath();
  ASSERT_GE(path.size(), 3u);
  EXPECT_EQ(path.substr(1, 2), ":\\") << path;
  EXPECT_EQ(FileNameOf(path), "app_settings_tests.exe");
  EXPECT_TRUE(FileExists(path)) << path;
  const AppPaths paths = ResolveAppPaths(path);
  EXPECT_EQ(paths.applicationName, "app_settings_tests");
  EXPECT_EQ(paths.settingsPath, FolderOf(path) + "\\app_settings_tests.ini");
  EXPECT_EQ(paths.helpPath, FolderOf(path) + "\\VORNAHLP.html");
}

}  // namespace
}  // namespace vorna
