// What vornactl prints and where: JSON whatever the names in it, nothing on
// stdout from a command that failed, input quoted with its controls escaped,
// nothing after a stop, no exception past Run, and output that cannot be
// written.

#include <sys/wait.h>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "cli/vornactl.h"
#include "commands/profile.h"
#include "support/board_sim.h"
#include "support/fake_board.h"
#include "support/temp_folder.h"

namespace vorna::test {
namespace {

using Strings = std::vector<std::string>;

std::string Substituted(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
    text.replace(at, from.size(), to);
  return text;
}

std::string PowerOnProfile() { return FormatProfile(ProfileFromSnapshot(PowerOnSnapshot())); }

// What goes to stdout and stderr, in-process on the in-memory board whose
// writes numbered `failingWrites` fail. "{folder}" stands for a fresh folder
// holding a valid profile as "b.vprof" and as "b\xff.vprof".
// An empty `out` or `err` means nothing there; no raw ESC ever reaches stderr.
struct OutputRow {
  const char* name;
  Strings args;
  std::vector<int> failingWrites;
  int status;
  std::string out;       // a part of stdout
  std::string err;       // a part of stderr
  bool stopped = false;  // a stop signal came before the command ended
};

void PrintTo(const OutputRow& row, std::ostream* os) { *os << row.name; }

class Outputs : public ::testing::TestWithParam<OutputRow> {};

TEST_P(Outputs, GoWhereTheRuleSays) {
  TempFolder folder;
  folder.Write("b.vprof", PowerOnProfile());
  folder.Write("b\xff.vprof", PowerOnProfile());
  Strings args = GetParam().args;
  for (auto& arg : args) arg = Substituted(arg, "{folder}", folder.path().string());
  std::ostringstream out, err;
  volatile std::sig_atomic_t stop = GetParam().stopped ? SIGINT : 0;
  cli::Environment env{out, err, false,
                       [] {
                         auto board = std::make_unique<FakeBoard>();
                         board->failingWrites = GetParam().failingWrites;
                         return board;
                       },
                       &stop};
  // The in-memory board answers on whatever port is opened.
  env.variable = [](const char* name) {
    return std::string_view(name) == "VORNA_PORT" ? std::optional<std::string>("1") : std::nullopt;
  };
  EXPECT_EQ(cli::Run(args, env), GetParam().status);
  const std::string expectedOut = Substituted(GetParam().out, "{folder}", folder.path().string());
  EXPECT_TRUE(expectedOut.empty() ? out.str().empty() : out.str().find(expectedOut) != std::string::npos) << out.str();
  EXPECT_TRUE(GetParam().err.empty() ? err.str().empty() : err.str().find(GetParam().err) != std::string::npos)
      << err.str();
  EXPECT_EQ(err.str().find('\x1b'), std::string::npos);
}

const std::string NOT_EVERY = "Not every register was written; the board may hold other values.\n";
const std::string LONG_NAME = "{folder}/" + std::string(255, 'n');

INSTANTIATE_TEST_SUITE_P(
    Rows, Outputs,
    ::testing::Values(
        // A name that is not UTF-8 has its bad byte replaced, after the work is done.
        OutputRow{"SaveJsonBadName", {"save", "--json", "{folder}/b\xff.vprof"}, {}, 0, "{folder}/b\xef\xbf\xbd", ""},
        OutputRow{"LoadJsonBadName", {"load", "--json", "{folder}/b\xff.vprof"}, {}, 0, "{folder}/b\xef\xbf\xbd", ""},
        OutputRow{"DiffJsonBadName", {"diff", "--json", "{folder}/b\xff.vprof"}, {}, 0, "{folder}/b\xef\xbf\xbd", ""},
        // A command that fails prints nothing on stdout, text and JSON alike
        // (quick, advanced and download: the fault rows of vornactl_test).
        OutputRow{"LoadWriteFails", {"load", "{folder}/b.vprof"}, {2}, 1, "", NOT_EVERY + " PE = 1\n"},
        OutputRow{"LoadJsonWriteFails", {"load", "--json", "{folder}/b.vprof"}, {2}, 1, "", NOT_EVERY + " PE = 1\n"},
        OutputRow{"ReadJsonFails", {"read", "--json"}, {1}, 1, "", "Write error\n"},
        // Input quoted in a message shows its control characters escaped.
        OutputRow{"UsageValue", {"quick", "--freq", "\x1b[2J"}, {}, 2, "", "--freq \\x1b[2J"},
        OutputRow{"SavedName", {"save", "{folder}/b.vprof/\x1b[2J"}, {}, 1, "", "b.vprof/\\x1b[2J\n"},
        OutputRow{
            "ImageName", {"image", VORNA_TEST_DATA_DIR "/blink.hex", "-o", "{folder}/no/\x1b"}, {}, 1, "", "/\\x1b:"},
        // A name as long as the folder takes: the temporary file beside it fits too.
        OutputRow{"SaveLongName", {"save", LONG_NAME}, {}, 0, "", ""},
        OutputRow{"ImageLongName", {"image", VORNA_TEST_DATA_DIR "/blink.hex", "-o", LONG_NAME}, {}, 0, "0x0", ""},
        // A stop signal while the profile is awaited (a FIFO without a
        // writer) fails the read: nothing more is printed (diff reads alike).
        OutputRow{"StopWhileLoadReads", {"load", "{folder}/none.vprof"}, {}, 130, "", "", true}),
    [](const auto& info) { return std::string(info.param.name); });

// Whatever throws, Run returns 1 with the reason, and nothing on stdout.
TEST(VornactlExceptions, EndInExitOneWithTheReason) {
  std::ostringstream out, err;
  cli::Environment env{out, err, false, []() -> std::unique_ptr<Transport> { throw std::runtime_error("no port"); }};
  EXPECT_EQ(cli::Run({"--port", "1", "read", "--json"}, env), 1);
  EXPECT_EQ(out.str() + err.str(), "vornactl: no port\n");
}

// Output that cannot be written, through the executable: stdout full or
// closed, stderr closed, a file-size limit. Each exits 1 with the reason (a
// part of stderr, which comes back on a pipe that no file-size limit
// touches), leaves no file, and sends the board nothing meant for a closed
// stream. "{board}", "{folder}" and "{hex}": the virtual board's device, a
// fresh folder, a hex file.
TEST(VornactlOutputFailures, ExitOneWithTheReasonAndNoFileLeft) {
  const std::string noSpace = "vornactl: cannot write to standard output: No space left on device\n";
  const std::pair<std::string, std::string> rows[] = {
      {"vornactl --version >/dev/full", noSpace},
      {"vornactl --device {board} read --json >&-", "vornactl: cannot write to standard output: Bad file descriptor\n"},
      {"vornactl image {hex} -o - >/dev/full", noSpace},
      {"vornactl -v --device {board} read >/dev/null 2>&-", ""},
      {"ulimit -f 0; vornactl image {hex} -o {folder}/out.bin", "cannot write {folder}/out.bin: File too large\n"},
      {"ulimit -f 0; vornactl -v --device {board} save {folder}/b", "Can not write {folder}/b\n  (File too large)\n"}};
  BoardSim sim;
  ASSERT_TRUE(sim.ok());
  for (const auto& [script, reason] : rows) {
    SCOPED_TRACE(script);
    TempFolder folder;
    const auto fill = [&](const std::string& text) {
      return Substituted(Substituted(Substituted(text, "{board}", sim.device()), "{folder}", folder.path().string()),
                         "{hex}", VORNA_TEST_DATA_DIR "/blink.hex");
    };
    FILE* pipe = ::popen(("(" + Substituted(fill(script), "vornactl", VORNACTL_PATH) + ") 2>&1").c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string err;
    for (int c; (c = std::fgetc(pipe)) != EOF;) err += static_cast<char>(c);
    const int status = ::pclose(pipe);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << "status " << status;
    EXPECT_NE(err.find(fill(reason)), std::string::npos) << err;
    EXPECT_EQ(folder.Names(), Strings{}) << "a file was left behind";
  }
  for (const auto& line : sim.logLines()) EXPECT_EQ(line.find("outside a frame"), std::string::npos) << line;
}

}  // namespace
}  // namespace vorna::test
