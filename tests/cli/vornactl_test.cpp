// vornactl against the virtual board: output, exit status and stderr of each
// subcommand, in-process through the same entry point as the executable.

#include "cli/vornactl.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <csignal>
#include <thread>

#include "link/serial_posix.h"
#include "run_vornactl.h"
#include "support/board_sim.h"
#include "support/comma_locale.h"

namespace vorna::test {
namespace {

namespace fs = std::filesystem;

TEST(Vornactl, ReadPrintsSummaryBlankLineAndDump) {
  BoardSim sim;
  ASSERT_TRUE(sim.ok());
  const auto r = OnBoard(sim, {"read"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out,
            " Transmission Freq.\n    88.1 MHz\n Output Power\n    1 mW\n Audio Input Level\n    100 mVrms\n"
            " Pre-emphasis\n    On\n Pre-emphasis Time Constant\n    75 usec\n\n"
            " PE = 1\n PDX = 0\n MUTE = 0\n EM = 0\n EMS = 1\n AG = 0\n PLT = 0\n SUBC = 0\n PL = 2\n ULD = 1\n"
            " P = 2a58H\n CIA = 1\n CIB = 3\n CEX = 3\n");
}

// A desktop locale with a decimal comma changes neither what --freq reads
// nor what the summary prints.
class VornactlCommaLocale : public CommaLocaleTest {};

TEST_F(VornactlCommaLocale, FrequencyReadsAndPrintsWithAPoint) {
  BoardSim sim;
  ASSERT_TRUE(sim.ok());
  const auto r = OnBoard(sim, {"quick", "--freq", "88.1"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("\n    88.1 MHz\n"), std::string::npos) << r.out;
  EXPECT_EQ(Requests(sim).at(3), "aa 02 00 06");
  EXPECT_EQ(OnBoard(sim, {"quick", "--freq", "88,1"}).status, 2);
}

TEST(Vornactl, ReadRawPrintsTheTenBytes) {
  BoardSim sim;
  ASSERT_TRUE(sim.ok());
  const auto r = OnBoard(sim, {"read", "--raw"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "21 b4 06 58 2a 00 1a 00 1b 06\n");
}

TEST(Vornactl, QuickReplacesOnlyTheValuesGivenAndStoresOnRequest) {
  BoardSim sim;
  ASSERT_TRUE(sim.ok());
  const auto r = OnBoard(sim, {"quick", "--freq", "87.9", "--level", "200", "--store"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("    87.9 MHz\n"), std::string::npos);
  EXPECT_NE(r.out.find("    200 mVrms\n"), std::string::npos);
  EXPECT_NE(r.out.find("    75 usec"), std::string::npos) << "time constant kept from the board";
  EXPECT_EQ(Requests(sim),
            (std::vector<std::string>{"aa 01 02", "aa 03 01 00 a1", "aa 03 01 20 06", "aa 02 00 04", "aa 01 03"}));
  EXPECT_TRUE(sim.stateContents().has_value());
}

TEST(Vornactl, AdvancedSetsFieldsAndWritesTheFullSet) {
  BoardSim sim;
  ASSERT_TRUE(sim.ok());
  const auto r = OnBoard(sim, {"advanced", "--set", "PL=3", "--set", "p=0x1F40", "--set", "cex=0"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find(" PL = 3\n"), std::string::npos);
  EXPECT_NE(r.out.find(" P = 1f40H\n"), std::string::npos);
  const auto requests = Requests(sim);
  ASSERT_EQ(requests.size(), 9u);
  EXPECT_EQ(requests[1], "aa 03 01 e0 05");
  EXPECT_EQ(requests[4], "aa 03 01 20 07");
  EXPECT_EQ(requests[5], "aa 03 01 30 40");
  EXPECT_EQ(requests[6], "aa 03 01 40 1f");
  EXPECT_EQ(requests[8], "aa 03 01 80 18");
  EXPECT_EQ(OnBoard(sim, {"read", "--raw"}).out, "21 b4 07 40 1f 00 1a 00 18 06\n");
}

TEST(Vornactl, AdvancedDefaultsWriteEveryDefault) {
  BoardSim sim;
  ASSERT_TRUE(sim.ok());
  OnBoard(sim, {"advanced", "--set", "MUTE=1"});
  const auto r = OnBoard(sim, {"advanced", "--defaults"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(OnBoard(sim, {"read", "--raw"}).out, "21 b4 06 58 2a 00 1a 00 1b 06\n");
}

struct UsageRow {
  std::vector<std::string> args;
  std::string reason;
};

class UsageRows : public ::testing::TestWithParam<UsageRow> {};

TEST_P(UsageRows, ExitTwoWithAReasonAndNothingSent) {
  BoardSim sim;
  ASSERT_TRUE(sim.ok());
  const auto r = OnBoard(sim, GetParam().args);
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find(GetParam().reason), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("Usage: vornactl"), std::string::npos);
  EXPECT_EQ(r.out, "");
  EXPECT_TRUE(Requests(sim).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Rows, UsageRows,
    ::testing::Values(
        UsageRow{{"quick", "--freq", "87.4"}, "--freq 87.4"}, UsageRow{{"quick", "--freq", "108.1"}, "--freq 108.1"},
        UsageRow{{"quick", "--freq", "88.15"}, "0.1 MHz steps"}, UsageRow{{"quick", "--freq", "abc"}, "--freq abc"},
        UsageRow{{"quick", "--power", "3"}, "--power 3: choose one of 1, 2"},
        UsageRow{{"quick", "--level", "150"}, "--level 150"},
        UsageRow{{"quick", "--preemphasis", "maybe"}, "--preemphasis maybe"},
        UsageRow{{"quick", "--tc", "60"}, "--tc 60"}, UsageRow{{"advanced", "--set", "XX=1"}, "--set XX=1"},
        UsageRow{{"advanced", "--set", "AG=3"}, "--set AG=3"}, UsageRow{{"advanced", "--set", "PL=1"}, "--set PL=1"},
        UsageRow{{"advanced", "--set", "P=12345678g"}, "P takes"}, UsageRow{{"advanced", "--set", "P"}, "FIELD=VALUE"},
        UsageRow{{"advanced", "--defaults", "--set", "PE=0"}, "--defaults"},
        UsageRow{{"advanced", "--set", "P=4000"}, "--set P=4000: P takes 0 to 3fff"},
        UsageRow{{"advanced", "--set", "P=fffff"}, "--set P=fffff: P takes 0 to 3fff"},
        UsageRow{{"advanced", "--set", "P=0x10000"}, "P takes 0 to 3fff"},
        UsageRow{{"advanced", "--set", ""}, "--set '': give FIELD=VALUE"},
        UsageRow{{"advanced", "--set", "PE="}, "--set PE='': choose one of 0, 1"},
        UsageRow{{"quick", "--freq", ""}, "--freq '': give 87.5 to 108.0"},
        UsageRow{{"quick", "--power", ""}, "--power '': choose one of 1, 2"},
        UsageRow{{"quick", "--level", ""}, "--level '': choose one of 100, 140, 200"},
        UsageRow{{"quick", "--preemphasis", ""}, "--preemphasis '': choose one of on, off"},
        UsageRow{{"quick", "--tc", ""}, "--tc '': choose one of 50, 75"},
        UsageRow{{"quick", "--freq", "88.1", "--tc", ""}, "--tc '': choose"},
        UsageRow{{"raed"}, "'raed' is not a command; did you mean 'read'?"},
        UsageRow{{"quik", "--freq", "88.1"}, "'quik' is not a command; did you mean 'quick'?"},
        UsageRow{{"-v", "advnced"}, "'advnced' is not a command; did you mean 'advanced'?"},
        UsageRow{{"Downlaod", "x.hex"}, "'Downlaod' is not a command; did you mean 'download'?"},
        UsageRow{{"imgae"}, "did you mean 'image'?"},
        UsageRow{{"frobnicate"}, "'frobnicate' is not a command; did you mean"},
        UsageRow{{"--bogus", "read"}, "not expected: --bogus"}, UsageRow{{"read", "extra"}, "not expected: extra"},
        UsageRow{{}, "A subcommand is required"}));

TEST(Vornactl, EmptyDevicePathIsAUsageError) {
  const auto r = Vornactl({"--device", "", "read"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("--device"), std::string::npos) << r.err;
  EXPECT_EQ(r.out, "");
}

TEST(Vornactl, DeviceAndPortExcludeEachOther) {
  const auto r = Vornactl({"--port", "2", "--device", "/dev/null", "read"});
  EXPECT_EQ(r.status, 2);
}

TEST(Vornactl, MissingPortReportsTheMessageAloneUnlessVerbose) {
  const fs::path empty = fs::temp_directory_path() / "vorna-no-ports";
  fs::create_directories(empty);
  ::setenv("XDG_CONFIG_HOME", empty.c_str(), 1);
  auto r = Vornactl({"--port", "57", "read"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "Can not open COM57\n");
  r = Vornactl({"-v", "--port", "57", "read"});
  EXPECT_NE(r.err.find("Can not open COM57\n  (no such device; tried "), std::string::npos) << r.err;
  ::unsetenv("XDG_CONFIG_HOME");
}

TEST(Vornactl, PortNumberFindsTheBoardThroughItsAlias) {
  const fs::path home = fs::temp_directory_path() / ("vorna-alias-" + std::to_string(::getpid()));
  ::setenv("XDG_CONFIG_HOME", home.c_str(), 1);
  {
    BoardSim sim(BoardSimSetup{{"--com", "11"}, {}, home.string()});
    ASSERT_TRUE(sim.ok());
    const auto r = Vornactl({"--port", "11", "read", "--raw"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "21 b4 06 58 2a 00 1a 00 1b 06\n");
  }
  ::unsetenv("XDG_CONFIG_HOME");
  fs::remove_all(home);
}

struct FaultRow {
  const char* name;
  std::vector<std::string> simArgs;
  std::vector<std::string> args;
  std::string err;
};

void PrintTo(const FaultRow& row, std::ostream* os) { *os << row.name; }

class CliFaultRows : public ::testing::TestWithParam<FaultRow> {};

TEST_P(CliFaultRows, MessagesOnStderrAndExitOne) {
  const auto& row = GetParam();
  BoardSim sim(row.simArgs);
  ASSERT_TRUE(sim.ok());
  const auto r = OnBoard(sim, row.args);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, row.err);
  EXPECT_EQ(r.out, "");
}

const std::string BLINK = VORNA_TEST_DATA_DIR "/blink.hex";
const std::string NOT_EVERY = "Not every register was written; the board may hold other values.\n";

INSTANTIATE_TEST_SUITE_P(
    Faults, CliFaultRows,
    ::testing::Values(
        FaultRow{"corrupt_echo",
                 {"--corrupt-echo", "2"},
                 {"advanced"},
                 "ReadData error\n" + NOT_EVERY +
                     " PE = 1\n PDX = 0\n MUTE = 0\n EM = 0\n EMS = 1\n AG = 0\n PLT = 0\n SUBC = 0\n PL = 2\n"
                     " ULD = 1\n P = 2a58H\n CIA = 1\n CIB = 3\n CEX = 3\n"},
        FaultRow{"short_read", {"--short-registers", "9"}, {"quick", "--power", "2"}, "Read error\n"},
        FaultRow{"silent_register_writes",
                 {"--silent", "1"},
                 {"quick"},
                 "ReadData error\nReadData error\n" + NOT_EVERY +
                     " Transmission Freq.\n    88.1 MHz\n Output Power\n    1 mW\n Audio Input Level\n    100 mVrms\n"
                     " Pre-emphasis\n    On\n Pre-emphasis Time Constant\n    75 usec\n"},
        FaultRow{"refused_start", {"--refuse-start"}, {"download", BLINK}, "Download failure\n"},
        FaultRow{"refused_chunk", {"--refuse-chunk", "3"}, {"download", BLINK}, "Download failure\n"},
        FaultRow{"bad_final_ack", {"--bad-final-ack"}, {"download", BLINK}, "Download failure\n"},
        FaultRow{"empty_path", {}, {"download", ""}, "select hex file.\nHex file is invalid\n"},
        FaultRow{"missing_file", {}, {"download", "/nonexistent.hex"}, "file open error.\nHex file is invalid\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Vornactl, DownloadSendsTheWindowByteForByte) {
  BoardSim sim;
  ASSERT_TRUE(sim.ok());
  const auto r = OnBoard(sim, {"download", BLINK});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "Download success\n");
  ASSERT_TRUE(sim.WaitForLogLine("-> ff 00"));
  const auto program = sim.programContents();
  ASSERT_TRUE(program.has_value());
  // 300 bytes of data, padded with 0xFF to the end of their 16-byte line.
  ASSERT_EQ(program->size(), 304u);
  for (std::size_t i = 0; i < 300; ++i) ASSERT_EQ((*program)[i], static_cast<std::uint8_t>(i * 37 + 11)) << i;
  for (std::size_t i = 300; i < 304; ++i) EXPECT_EQ((*program)[i], 0xFF);
}

TEST(Vornactl, ImageWritesTheWholeMemoryImage) {
  const fs::path out = fs::temp_directory_path() / ("vorna-image-" + std::to_string(::getpid()) + ".bin");
  const auto r = Vornactl({"image", BLINK, "-o", out.string()});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "0x0000212F\n");
  std::ifstream in(out, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  ASSERT_EQ(bytes.size(), 0x2130u);
  EXPECT_EQ(static_cast<std::uint8_t>(bytes[0]), 0xFF);
  EXPECT_EQ(static_cast<std::uint8_t>(bytes[0x2000]), 11);
  fs::remove(out);
}

// Under -v a failed download gives, after its status, the step that failed
// and what the board answered, the reason the desktop shows under the status.
TEST(Vornactl, VerboseDownloadFailureNamesTheStep) {
  BoardSim sim({"--refuse-chunk", "3"});
  ASSERT_TRUE(sim.ok());
  auto r = OnBoard(sim, {"-v", "download", BLINK});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("Download failure\n  (chunk 3 of 5: acknowledgement: the board answered 01 00 (hex), not 00)\n"),
            std::string::npos)
      << r.err;
  r = OnBoard(sim, {"download", BLINK});
  EXPECT_EQ(r.err.find("chunk 3 of 5"), std::string::npos) << "only under -v";
}

TEST(Vornactl, VerboseTracesRequestsAndReplies) {
  BoardSim sim;
  ASSERT_TRUE(sim.ok());
  const auto r = OnBoard(sim, {"-v", "read", "--raw"});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.err.find("-> aa 01 02"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("<- 21 b4 06 58 2a 00 1a 00 1b 06"), std::string::npos) << r.err;
}

// A stop signal in the middle of a command: the command ends with
// 128 + the signal, prints and reports nothing (a download only how far it
// came), and sends no request after the one under way. The flag is set as the handler would set it, once the
// board has logged the request named by `stopAt`.
struct StopCase {
  const char* name;
  std::vector<std::string> boardArgs;
  std::vector<std::string> args;
  std::string stopAt;  // start of the board's log line
  std::vector<std::string> requests;
  std::string err;
};

void PrintTo(const StopCase& c, std::ostream* os) { *os << c.name; }

class StopRows : public ::testing::TestWithParam<StopCase> {};

TEST_P(StopRows, EndTheCommandWithNothingMoreSentOrPrinted) {
  BoardSim sim(GetParam().boardArgs);
  ASSERT_TRUE(sim.ok());
  volatile std::sig_atomic_t stop = 0;
  std::thread watcher([&] {
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (std::chrono::steady_clock::now() < deadline) {
      for (const auto& line : sim.logLines()) {
        if (line.rfind(GetParam().stopAt, 0) == 0) {
          stop = SIGINT;
          return;
        }
      }
      std::this_thread::sleep_for(2ms);
    }
  });
  std::ostringstream out, err;
  cli::Environment env{out, err, false, [&] { return std::make_unique<PosixSerialTransport>(&stop); }, &stop};
  std::vector<std::string> args = GetParam().args;
  args.insert(args.begin(), {"--device", sim.device()});
  const int status = cli::Run(args, env);
  watcher.join();
  EXPECT_EQ(status, 128 + SIGINT);
  EXPECT_EQ(out.str(), "");
  EXPECT_EQ(err.str(), GetParam().err);
  EXPECT_EQ(Requests(sim), GetParam().requests);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, StopRows,
    ::testing::Values(StopCase{"ReadWaitingForItsReply", {"--silent", "2"}, {"read"}, "<- aa 01 02", {"aa 01 02"}, {}},
                      StopCase{"QuickBetweenItsWrites",
                               {"--silent", "1"},
                               {"quick", "--freq", "99.0"},
                               "<- aa 03 01 00",
                               {"aa 01 02", "aa 03 01 00 21"},
                               {}},
                      StopCase{"AdvancedBetweenItsWrites",
                               {"--silent", "1"},
                               {"advanced", "--set", "PE=0"},
                               "<- aa 03 01 e0",
                               {"aa 01 02", "aa 03 01 e0 05"},
                               {}},
                      StopCase{"DownloadWaitingForItsStart",
                               {"--silent", "4"},
                               {"download", VORNA_TEST_DATA_DIR "/blink.hex"},
                               "<- aa 03 04",
                               {"aa 03 04 30 01"},
                               "Download stopped after 0 of 304 bytes; the board holds an incomplete program\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Vornactl, ExecutableExitStatusesAndHelp) {
  const std::string exe = VORNACTL_PATH;
  EXPECT_EQ(WEXITSTATUS(std::system((exe + " --help >/dev/null").c_str())), 0);
  EXPECT_EQ(WEXITSTATUS(std::system((exe + " quick --help >/dev/null").c_str())), 0);
  EXPECT_EQ(WEXITSTATUS(std::system((exe + " --version >/dev/null").c_str())), 0);
  EXPECT_EQ(WEXITSTATUS(std::system((exe + " nonsense 2>/dev/null").c_str())), 2);
}

}  // namespace
}  // namespace vorna::test
