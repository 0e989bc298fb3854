// The desktop application ignores its command line, Qt's own options
// included: a launcher's stray "-platform" or "-style" neither stops it nor
// changes it, while QT_QPA_PLATFORM in the environment still chooses the
// platform. Runs a copy of the built executable up to its main window.

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "gui_test_support.h"

namespace vorna::test {
namespace {

struct Outcome {
  int status;
  std::string output;
};

// Runs the copy in `folder` with `args`, without a display, closing its main
// window as soon as it shows.
Outcome RunVorna(const TempFolder& folder, const std::vector<std::string>& args) {
  std::string command = "cd '" + folder.File("") +
                        "' && env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=offscreen VORNA_EXIT_WHEN_SHOWN=1 "
                        "timeout 60 ./vorna";
  for (const auto& arg : args) command += " '" + arg + "'";
  command += " 2>&1";
  Outcome run{-1, {}};
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return run;
  char buffer[256];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) run.output += buffer;
  const int status = ::pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return run;
}

class IgnoredCommandLine : public ::testing::TestWithParam<std::vector<std::string>> {};

TEST_P(IgnoredCommandLine, MainWindowOpensAsWithoutArguments) {
  const TempFolder folder;
  std::filesystem::copy_file(VORNA_APP_DIR "/vorna", folder.File("vorna"));
  // Executable whatever the process's umask gave the copy.
  std::filesystem::permissions(folder.File("vorna"),
                               std::filesystem::perms::owner_all | std::filesystem::perms::group_read |
                                   std::filesystem::perms::group_exec | std::filesystem::perms::others_read |
                                   std::filesystem::perms::others_exec);
  const Outcome run = RunVorna(folder, GetParam());
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("vorna: main window shown\n"), std::string::npos) << run.output;
  // It closed as "Close" does: the settings were written beside it.
  EXPECT_TRUE(std::filesystem::exists(folder.File("vorna.ini")));
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, IgnoredCommandLine,
    ::testing::Values(std::vector<std::string>{"-platform", "nonsense"},
                      std::vector<std::string>{"-platform", "xcb", "-platformpluginpath", "/nonexistent"},
                      std::vector<std::string>{"-style", "nonsense", "-reverse", "-qwindowgeometry", "1x1"},
                      std::vector<std::string>{"--version", "--help"}, std::vector<std::string>{"anything"}));

}  // namespace
}  // namespace vorna::test
