// However vornactl ends while it holds the port (interrupted, terminated,
// hung up, killed, crashed), the next command on the same port succeeds
// for an ordinary user. The stop signals end the command cleanly: exit
// status 128 + the signal, nothing printed, the line settings put back.

#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>

#include "faults/fault_support.h"
#include "support/board_sim.h"

namespace vorna::test {
namespace {

constexpr int PORT = 11;

struct SignalCase {
  const char* name;
  int signal;
  bool endsCleanly;  // exits with 128 + signal; otherwise the signal ends it
};

void PrintTo(const SignalCase& c, std::ostream* os) { *os << c.name; }

// The device's line settings, every byte of the record.
std::string LineSettings(const std::string& device) {
  termios mode;
  std::memset(&mode, 0, sizeof mode);
  const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return "cannot open " + device;
  const bool ok = ::tcgetattr(fd, &mode) == 0;
  ::close(fd);
  return ok ? std::string(reinterpret_cast<const char*>(&mode), sizeof mode) : "cannot read the settings";
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool CRASH_ENDS_IN_EXIT = true;
#else
constexpr bool CRASH_ENDS_IN_EXIT = false;
#endif

class SignalEnd : public ::testing::TestWithParam<SignalCase> {
 protected:
  void SetUp() override {
    RecordProperty("vornactl_as", RunningAsRoot() ? "nobody" : "the test user");
    // A crash would leave a core file; none is wanted.
    const rlimit noCore{0, 0};
    ::setrlimit(RLIMIT_CORE, &noCore);
    OpenToOrdinaryUser(folder_.path().string());
    std::filesystem::copy_file(VORNA_TEST_DATA_DIR "/blink.hex", hex_);
  }

  PortAliases ports_;
  TempFolder folder_;
  const std::string port_ = std::to_string(PORT);
  const std::string hex_ = folder_.File("blink.hex");
};

TEST_P(SignalEnd, NextCommandOnThePortSucceedsForAnOrdinaryUser) {
  // The board takes the register read but never answers it, so vornactl
  // holds the port, waiting, when the signal comes. The same user runs it:
  // where not every process is in view, vornactl opens only a board whose
  // process it may look into.
  BoardSim board(BoardSimSetup{{"--com", port_, "--silent", "2"}, {}, ports_.home(), true, true});
  ASSERT_TRUE(board.ok());
  const std::string before = LineSettings(board.device());

  Vornactl first(folder_, "first", ports_, {"--port", port_, "read"}, RunAs::kOrdinaryUser);
  ASSERT_TRUE(board.WaitForLogLine("<- aa 01 02", 5s)) << "vornactl never asked: " << first.err();
  first.Signal(GetParam().signal);
  const auto status = first.WaitStatus();
  ASSERT_TRUE(status);
  if (GetParam().endsCleanly) {
    ASSERT_TRUE(WIFEXITED(*status)) << "ended by signal " << WTERMSIG(*status);
    EXPECT_EQ(WEXITSTATUS(*status), 128 + GetParam().signal);
    EXPECT_EQ(first.out(), "");
    EXPECT_EQ(first.err(), "") << "a stopped command reports nothing";
    EXPECT_EQ(LineSettings(board.device()), before) << "the line settings were not put back";
  } else if (CRASH_ENDS_IN_EXIT && GetParam().signal == SIGSEGV) {
    // AddressSanitizer takes the crash itself, reports it and exits: still
    // no clean close.
    ASSERT_TRUE(WIFEXITED(*status));
    EXPECT_NE(WEXITSTATUS(*status), 0);
  } else {
    ASSERT_TRUE(WIFSIGNALED(*status));
    EXPECT_EQ(WTERMSIG(*status), GetParam().signal);
  }

  Vornactl next(folder_, "next", ports_, {"--port", port_, "download", hex_}, RunAs::kOrdinaryUser);
  EXPECT_EQ(next.Wait(), 0) << next.err();
  EXPECT_EQ(next.err(), "");
  EXPECT_EQ(next.out(), "Download success\n");
}

// A read stopped while a slow board is still answering leaves the rest of
// the reply on the line: the next read must refuse it, not print a snapshot
// rotated by the stale bytes.
TEST(StaleReply, IsNeverTakenForTheNextReadsReply) {
  for (const int signal : {SIGINT, SIGKILL}) {
    PortAliases ports;
    TempFolder folder;
    BoardSim board({"--drip", "100"});
    ASSERT_TRUE(board.ok());
    Vornactl first(folder, "first", ports, {"--device", board.device(), "read"});
    ASSERT_TRUE(board.WaitForLogLine("-> 21 b4 06 58 2a 00 1a 00 1b 06", 5s)) << first.err();
    std::this_thread::sleep_for(350ms);  // four of the ten bytes are out
    first.Signal(signal);
    ASSERT_TRUE(first.WaitStatus());

    Vornactl next(folder, "next", ports, {"-v", "--device", board.device(), "read", "--json"});
    EXPECT_EQ(next.Wait(), 1) << "signal " << signal << ": " << next.out();
    EXPECT_EQ(next.out(), "");
    EXPECT_NE(next.err().find("Read error\n  (the board is still sending: "), std::string::npos) << next.err();
  }
}

INSTANTIATE_TEST_SUITE_P(Signals, SignalEnd,
                         ::testing::Values(SignalCase{"Interrupt", SIGINT, true},
                                           SignalCase{"Terminate", SIGTERM, true}, SignalCase{"HangUp", SIGHUP, true},
                                           SignalCase{"Kill", SIGKILL, false},
                                           SignalCase{"CrashSegmentationFault", SIGSEGV, false},
                                           SignalCase{"CrashAbort", SIGABRT, false}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vorna::test
