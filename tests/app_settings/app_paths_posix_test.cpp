// The POSIX places: help below an installation's prefix, settings in the
// user's folder when the executable's cannot be written.

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "app/settings/app_paths.h"
#include "support/temp_folder.h"

namespace vorna {
namespace {

TEST(ResolveAppPathsTest, FindsTheHelpOfAnInstallationBelowAnyRoot) {
  const test::TempFolder root;
  std::filesystem::create_directories(root.File("usr/bin"));
  std::filesystem::create_directories(root.File("usr/share/vorna"));
  const std::string executable = root.File("usr/bin/vorna");
  EXPECT_EQ(ResolveAppPaths(executable).helpPath, root.File("usr/bin/VORNAHLP.html"));

  std::ofstream(root.File("usr/share/vorna/VORNAHLP.html")) << "<html></html>";
  EXPECT_EQ(ResolveAppPaths(executable).helpPath, root.File("usr/share/vorna/VORNAHLP.html"));

  // A copy beside the executable wins over the installed one.
  std::ofstream(root.File("usr/bin/VORNAHLP.html")) << "<html></html>";
  EXPECT_EQ(ResolveAppPaths(executable).helpPath, root.File("usr/bin/VORNAHLP.html"));
}

TEST(ResolveAppPathsTest, UsesTheEnvironmentOnlyForAReadOnlyFolder) {
  ::setenv("XDG_CONFIG_HOME", "/x/cfg", 1);
  const test::TempFolder folder;
  const AppPaths paths = ResolveAppPaths(folder.File("other.exe"));
  EXPECT_EQ(paths.applicationName, "other");
  EXPECT_EQ(paths.settingsPath, folder.File("other.ini"));
  EXPECT_EQ(paths.helpPath, folder.File("VORNAHLP.html"));

  const AppPaths underFile = ResolveAppPaths("/proc/version/vorna");
  EXPECT_EQ(underFile.settingsPath, "/x/cfg/vorna/vorna.ini");
  ::unsetenv("XDG_CONFIG_HOME");
}

TEST(OwnExecutablePathTest, NamesThisTestProgram) {
  const std::string path = OwnExecutablePath();
  EXPECT_EQ(FileNameOf(path), "app_settings_tests");
  EXPECT_TRUE(FileExists(path)) << path;
}

}  // namespace
}  // namespace vorna
