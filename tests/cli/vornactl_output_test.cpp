// What vornactl prints and where, in-process on the in-memory board: JSON
// whatever the names in it, nothing on stdout from a command that failed,
// output that cannot be written, and no exception past Run.

#include <sys/wait.h>

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <csignal>
#include <cstdio>
#include <functional>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "cli/vornactl.h"
#include "commands/profile.h"
#include "run_vornactl.h"
#include "support/board_sim.h"
#include "support/fake_board.h"
#include "support/temp_folder.h"

namespace vorna::test {
namespace {

using Strings = std::vector<std::string>;

Outcome RunOnFakeBoard(const Strings& args, const std::function<void(FakeBoard&)>& prepare = {}) {
  std::ostringstream out, err;
  cli::Environment env{out, err, false, [&prepare] {
                         auto board = std::make_unique<FakeBoard>();
                         if (prepare) prepare(*board);
                         return board;
                       }};
  const int status = cli::Run(args, env);
  return {status, out.str(), err.str()};
}

std::string Substituted(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
    text.replace(at, from.size(), to);
  return text;
}

std::string PowerOnProfile() { return FormatProfile(ProfileFromSnapshot(PowerOnSnapshot())); }

// A file name that is not UTF-8 reaches the JSON with its bad byte replaced,
// after the command did its work.
class JsonFileNames : public ::testing::TestWithParam<const char*> {};

TEST_P(JsonFileNames, ABadByteIsReplacedAndTheCommandSucceeds) {
  TempFolder files;
  const std::string path = files.Write("board\xff.vprof", PowerOnProfile());
  const auto r = RunOnFakeBoard({GetParam(), "--json", path});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(nlohmann::json::parse(r.out).at("file"), files.File("board\xef\xbf\xbd.vprof"));
}

INSTANTIATE_TEST_SUITE_P(Commands, JsonFileNames, ::testing::Values("save", "load", "diff"));

// A command that fails prints nothing on stdout, in text and in JSON alike;
// what a failed write may have left on the board follows its warning on
// stderr. (quick, advanced and download: the fault rows of vornactl_test.)
struct FailedCommand {
  const char* name;
  Strings args;  // "{profile}" stands for a valid profile file
  std::vector<int> failingWrites;
  std::string err;  // a part of stderr
};

void PrintTo(const FailedCommand& row, std::ostream* os) { *os << row.name; }

class FailedCommands : public ::testing::TestWithParam<FailedCommand> {};

TEST_P(FailedCommands, PrintNothingOnStdout) {
  TempFolder files;
  Strings args = GetParam().args;
  for (auto& arg : args)
    if (arg == "{profile}") arg = files.Write("b.vprof", PowerOnProfile());
  const auto r = RunOnFakeBoard(args, [](FakeBoard& board) { board.failingWrites = GetParam().failingWrites; });
  EXPECT_NE(r.status, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find(GetParam().err), std::string::npos) << r.err;
}

const std::string NOT_EVERY = "Not every register was written; the board may hold other values.\n";

INSTANTIATE_TEST_SUITE_P(
    Rows, FailedCommands,
    ::testing::Values(FailedCommand{"Load", {"load", "{profile}"}, {2}, NOT_EVERY + " PE = 1\n"},
                      FailedCommand{"LoadJson", {"load", "--json", "{profile}"}, {2}, NOT_EVERY + " PE = 1\n"},
                      FailedCommand{"ReadJson", {"read", "--json"}, {1}, "Write error\n"},
                      FailedCommand{"SaveJson", {"save", "--json", "{profile}"}, {1}, "Write error\n"},
                      FailedCommand{"DiffJson", {"diff", "--json", "{profile}"}, {1}, "Write error\n"}),
    [](const auto& info) { return std::string(info.param.name); });

// Every message that quotes the user's input shows its control characters
// escaped. "{folder}" stands for a fresh folder.
class QuotedInput : public ::testing::TestWithParam<Strings> {};

TEST_P(QuotedInput, ReachesStderrEscaped) {
  TempFolder folder;
  Strings args = GetParam();
  for (auto& arg : args) arg = Substituted(arg, "{folder}", folder.path().string());
  folder.Write("bad.vprof", "vorna-profile 1\nPE\x1b[2J = 1\n");
  const auto r = RunOnFakeBoard(args);
  EXPECT_NE(r.status, 0);
  EXPECT_EQ(r.err.find('\x1b'), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("\\x1b[2J"), std::string::npos) << r.err;
}

INSTANTIATE_TEST_SUITE_P(Commands, QuotedInput,
                         ::testing::Values(Strings{"quick", "--freq", "\x1b[2J"}, Strings{"load", "{folder}/bad.vprof"},
                                           Strings{"save", "{folder}/bad.vprof/\x1b[2J"},
                                           Strings{"image", VORNA_TEST_DATA_DIR "/blink.hex", "-o",
                                                   "{folder}/none/\x1b[2J"}));

// Whatever throws, Run returns 1 with the reason, and nothing on stdout.
TEST(VornactlExceptions, EndInExitOneWithTheReason) {
  std::ostringstream out, err;
  cli::Environment env{out, err, false,
                       []() -> std::unique_ptr<Transport> { throw std::runtime_error("no port today"); }};
  EXPECT_EQ(cli::Run({"read", "--json"}, env), 1);
  EXPECT_EQ(out.str(), "");
  EXPECT_EQ(err.str(), "vornactl: no port today\n");
}

// A stop signal that interrupts the wait for a profile (a FIFO with no
// writer) leaves the read failed and the flag set: nothing more is printed.
TEST(VornactlStop, WhileTheProfileIsReadPrintsNothing) {
  TempFolder files;
  for (const char* command : {"load", "diff"}) {
    std::ostringstream out, err;
    volatile std::sig_atomic_t stop = SIGINT;
    cli::Environment env{out, err, false, [] { return std::make_unique<FakeBoard>(); }, &stop};
    EXPECT_EQ(cli::Run({command, files.File("interrupted.vprof")}, env), 128 + SIGINT);
    EXPECT_EQ(out.str() + err.str(), "") << command;
  }
}

// Output that cannot be written, through the executable: stdout full or
// closed, stderr closed, a file-size limit; the board never receives what
// was meant for a closed stream. "{board}", "{folder}" and
// "{hex}" stand for the virtual board's device, a fresh folder and a hex
// file; stderr comes back on the pipe, which no file-size limit touches.
struct OutputFailure {
  const char* name;
  std::string script;
  std::string err;
};

void PrintTo(const OutputFailure& row, std::ostream* os) { *os << row.name; }

class OutputFailures : public ::testing::TestWithParam<OutputFailure> {};

TEST_P(OutputFailures, ExitOneWithTheReasonAndNoFileLeft) {
  BoardSim sim;
  ASSERT_TRUE(sim.ok());
  TempFolder folder;
  std::string script = Substituted(GetParam().script, "vornactl", VORNACTL_PATH);
  script = Substituted(Substituted(script, "{board}", sim.device()), "{folder}", folder.path().string());
  script = Substituted(script, "{hex}", VORNA_TEST_DATA_DIR "/blink.hex");
  FILE* pipe = ::popen(("(" + script + ") 2>&1").c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string err;
  for (int c; (c = std::fgetc(pipe)) != EOF;) err += static_cast<char>(c);
  const int status = ::pclose(pipe);
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 1);
  // The -v trace, lines starting with its time, is not what is checked here.
  for (std::size_t at = 0; (at = err.find("[ ", at)) != std::string::npos;) err.erase(at, err.find('\n', at) + 1 - at);
  EXPECT_EQ(err, Substituted(GetParam().err, "{folder}", folder.path().string()));
  EXPECT_EQ(folder.Names(), Strings{}) << "a file was left behind";
  // A closed stream's number taken by the port would send it text.
  for (const auto& line : sim.logLines()) EXPECT_EQ(line.find("outside a frame"), std::string::npos) << line;
}

const std::string NO_SPACE = "vornactl: cannot write to standard output: No space left on device\n";
const std::string CLOSED = "vornactl: cannot write to standard output: Bad file descriptor\n";

INSTANTIATE_TEST_SUITE_P(
    Rows, OutputFailures,
    ::testing::Values(OutputFailure{"VersionFull", "vornactl --version >/dev/full", NO_SPACE},
                      OutputFailure{"HelpClosed", "vornactl --help >&-", CLOSED},
                      OutputFailure{"ReadJsonClosed", "vornactl --device {board} read --json >&-", CLOSED},
                      OutputFailure{"ReadFull", "vornactl --device {board} read >/dev/full", NO_SPACE},
                      OutputFailure{"PortsJsonFull", "vornactl ports --json >/dev/full", NO_SPACE},
                      OutputFailure{"ImageToFullStdout", "vornactl image {hex} -o - >/dev/full", NO_SPACE},
                      OutputFailure{"VerboseWithStderrClosed", "vornactl -v --device {board} read >/dev/null 2>&-", ""},
                      OutputFailure{"ImageOverTheFileSizeLimit",
                                    "ulimit -f 0; vornactl image {hex} -o {folder}/out.bin",
                                    "vornactl: cannot write {folder}/out.bin: File too large\n"},
                      OutputFailure{"SaveOverTheFileSizeLimit",
                                    "ulimit -f 0; vornactl -v --device {board} save {folder}/b.vprof",
                                    "Can not write {folder}/b.vprof\n  (File too large)\n"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vorna::test
