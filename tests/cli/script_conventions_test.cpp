// What scripts expect of vornactl's command line: global options after the
// command, the port from VORNA_PORT, the board found without a number, -q,
// and --json for every board command.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "cli/vornactl.h"
#include "support/board_sim.h"
#include "support/temp_folder.h"

namespace vorna::test {
namespace {

const std::string RAW = "21 b4 06 58 2a 00 1a 00 1b 06\n";

struct ConventionRow {
  const char* name;
  std::vector<std::string> args;
  std::optional<std::string> vornaPort;
  int status;
  std::string out;  // stdout exactly; "*" followed by a text: stdout begins with it
  std::string err;  // a part of stderr; empty: nothing there
};

void PrintTo(const ConventionRow& row, std::ostream* os) { *os << row.name; }

class Conventions : public ::testing::TestWithParam<ConventionRow> {};

// The board is published as COM35 in a port-alias folder of its own, over a
// kernel device tree that lists no serial port: the one board `auto` finds.
TEST_P(Conventions, Hold) {
  const ConventionRow& row = GetParam();
  TempFolder home("vorna-conventions");
  ::setenv("XDG_CONFIG_HOME", home.path().c_str(), 1);
  BoardSim sim(BoardSimSetup{{"--com", "35"}, {}, home.path().string()});
  ASSERT_TRUE(sim.ok());
  std::filesystem::create_directories(home.path() / "sys" / "class" / "tty");
  std::ostringstream out, err;
  cli::Environment env{out, err, false, {}};
  env.portRoots = {(home.path() / "sys").string(), "/dev", (home.path() / "vorna" / "ports").string()};
  env.variable = [&row](const char* name) {
    return std::string_view(name) == "VORNA_PORT" ? row.vornaPort : std::nullopt;
  };
  EXPECT_EQ(cli::Run(row.args, env), row.status) << err.str();
  if (row.out.starts_with('*'))
    EXPECT_TRUE(out.str().starts_with(row.out.substr(1))) << out.str();
  else
    EXPECT_EQ(out.str(), row.out);
  EXPECT_TRUE(row.err.empty() ? err.str().empty() : err.str().find(row.err) != std::string::npos) << err.str();
  ::unsetenv("XDG_CONFIG_HOME");
}

INSTANTIATE_TEST_SUITE_P(
    Rows, Conventions,
    ::testing::Values(
        ConventionRow{"OptionsAfterTheCommand", {"read", "--raw", "--port", "35"}, {}, 0, RAW, ""},
        ConventionRow{"PortFromTheEnvironment", {"read", "--raw"}, "35", 0, RAW, ""},
        ConventionRow{"PortOptionBeforeTheEnvironment", {"read", "--raw", "--port", "35"}, "x", 0, RAW, ""},
        ConventionRow{"BadPortInTheEnvironment", {"read"}, "x", 2, "", "vornactl: VORNA_PORT x: give a port number"},
        ConventionRow{"BoardFoundWithoutANumber", {"read", "--raw"}, {}, 0, RAW, ""},
        ConventionRow{"EmptyEnvironmentIsUnset", {"read", "--raw"}, "", 0, RAW, ""},
        ConventionRow{"AllIsEveryBoardFound",
                      {"read", "--raw", "--port", "all"},
                      {},
                      0,
                      "COM35: " + RAW + "1 board: 1 succeeded\n",
                      ""},
        ConventionRow{"QuietKeepsTheValues", {"-q", "read", "--raw", "--port", "35"}, {}, 0, RAW, ""},
        ConventionRow{"QuietDropsTheSuccessMessage", {"quick", "--freq", "88.1", "-q", "--port", "35"}, {}, 0, "", ""},
        ConventionRow{"QuietKeepsErrors", {"-q", "--port", "36", "read"}, {}, 1, "", "Can not open COM36\n"},
        ConventionRow{"JsonForACommandWithoutItsOwn",
                      {"quick", "--json", "--freq", "88.1"},
                      "35",
                      0,
                      R"(*{"port":"COM35","status":0,"succeeded":true,"output":[" Transmission Freq.","    88.1 MHz",)",
                      ""},
        ConventionRow{"JsonRecordOfAFailure",
                      {"--json", "--port", "36", "advanced"},
                      {},
                      1,
                      R"({"port":"COM36","status":1,"succeeded":false,"messages":["Can not open COM36"]})"
                      "\n",
                      "Can not open COM36\n"},
        ConventionRow{"QuietAndVerbose", {"-q", "-v", "read"}, {}, 2, "", "excludes"},
        ConventionRow{"JsonAndRaw", {"--json", "read", "--raw"}, "35", 2, "", "--json excludes --raw"},
        ConventionRow{"SaveTakesOneBoard", {"save", "x.vprof", "--port", "35,36"}, {}, 2, "", "save reads one board"},
        ConventionRow{"StrayWordAfterTheCommand", {"read", "--port", "35", "extra"}, {}, 2, "", "not expected: extra"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vorna::test
