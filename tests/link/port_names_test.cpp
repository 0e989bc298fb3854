#include "link/port_names.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "support/temp_folder.h"

namespace vorna {
namespace {

using Strings = std::vector<std::string>;

TEST(PortCandidates, AliasFirstThenAcmUsbAndBuiltInUarts) {
  EXPECT_EQ(PortCandidates(1, "/home/u/.config/vorna/ports"),
            (Strings{"/home/u/.config/vorna/ports/COM1", "/dev/ttyACM0", "/dev/ttyUSB0", "/dev/ttyS0"}));
  EXPECT_EQ(PortCandidates(12, ""), (Strings{"/dev/ttyACM11", "/dev/ttyUSB11", "/dev/ttyS11"}));
}

TEST(PortCandidates, ZeroAndNegativeNumbersNameNothing) {
  for (int n : {0, -1, -2147483647 - 1}) EXPECT_TRUE(PortCandidates(n, "/a").empty()) << n;
}

struct LookUpRow {
  std::set<std::string> existing;
  int port;
  std::string expected;
};

class LookUpRows : public ::testing::TestWithParam<LookUpRow> {};

TEST_P(LookUpRows, TakesTheFirstThatExists) {
  const auto& row = GetParam();
  const auto lookup = LookUpPort(row.port, "/alias", [&](const std::string& p) { return row.existing.count(p) > 0; });
  EXPECT_EQ(lookup.device, row.expected);
  if (row.expected.empty()) {
    EXPECT_FALSE(lookup.reason.empty());
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, LookUpRows,
                         ::testing::Values(LookUpRow{{"/alias/COM3", "/dev/ttyACM2"}, 3, "/alias/COM3"},
                                           LookUpRow{{"/dev/ttyACM2", "/dev/ttyUSB2"}, 3, "/dev/ttyACM2"},
                                           LookUpRow{{"/dev/ttyUSB0", "/dev/ttyS0"}, 1, "/dev/ttyUSB0"},
                                           LookUpRow{{"/dev/ttyS4"}, 5, "/dev/ttyS4"}, LookUpRow{{"/dev/ttyS4"}, 4, ""},
                                           LookUpRow{{"/alias/COM0", "/dev/ttyACM-1"}, 0, ""}));

TEST(LookUpPort, ReasonListsEveryPathTried) {
  const auto lookup = LookUpPort(2, "/alias", [](const std::string&) { return false; });
  EXPECT_EQ(lookup.reason, "no such device; tried /alias/COM2, /dev/ttyACM1, /dev/ttyUSB1, /dev/ttyS1");
}

TEST(PortAliasFolder, FollowsXdgConfigHomeThenHome) {
  const char* savedXdg = std::getenv("XDG_CONFIG_HOME");
  const std::string xdg = savedXdg ? savedXdg : "";
  ::setenv("XDG_CONFIG_HOME", "/tmp/cfg", 1);
  EXPECT_EQ(PortAliasFolder(), "/tmp/cfg/vorna/ports");
  ::setenv("XDG_CONFIG_HOME", "relative/ignored", 1);
  ::setenv("HOME", "/home/tester", 1);
  EXPECT_EQ(PortAliasFolder(), "/home/tester/.config/vorna/ports");
  if (savedXdg)
    ::setenv("XDG_CONFIG_HOME", xdg.c_str(), 1);
  else
    ::unsetenv("XDG_CONFIG_HOME");
}

// A port is known by the device an alias leads to; a link that leads
// nowhere, by its own name.
TEST(PortLabel, NamesTheDeviceBehindAnAlias) {
  test::TempFolder folder;
  const std::string device = folder.File("ttyACM4");
  const std::string alias = folder.File("COM5");
  std::ofstream(device).put('\n');
  std::filesystem::create_symlink(device, alias);
  const std::string real = std::filesystem::canonical(device).string();
  EXPECT_EQ(PortLabel(5, {alias, {}}), "COM5 (" + real + ")");
  std::filesystem::remove(device);
  EXPECT_EQ(PortLabel(5, {alias, {}}), "COM5 (" + alias + ")");
}

}  // namespace
}  // namespace vorna
