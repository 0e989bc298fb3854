// A port alias is a name the user (or anything that can write the alias
// folder) controls: whatever it points at, only a character device is
// opened, with a reason when it is refused, and opening a terminal never
// makes it the controlling terminal of the program. A terminal that is
// some process's controlling terminal (a person's shell, or a stale alias
// whose pseudo-terminal number a new terminal took) is never opened.

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cstring>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "faults/fault_support.h"
#include "link/device_link.h"
#include "link/serial_posix.h"
#include "support/board_sim.h"
#include "support/recording_sink.h"

namespace vorna::test {
namespace {

namespace fs = std::filesystem;

constexpr int PORT = 4;

enum class Target { kRegularFile, kFolder, kFifo };

struct AliasRow {
  const char* name;
  Target target;
  std::string reason;
};

void PrintTo(const AliasRow& row, std::ostream* os) { *os << row.name; }

class AliasTargets : public ::testing::TestWithParam<AliasRow> {};

TEST_P(AliasTargets, AreRefusedWithAReasonAndLeftAlone) {
  const AliasRow& row = GetParam();
  PortAliases ports;
  ports.Activate();
  TempFolder folder;
  std::string target;
  switch (row.target) {
    case Target::kRegularFile:
      target = folder.Write("plain", "not a port");
      break;
    case Target::kFolder:
      target = folder.path().string();
      break;
    case Target::kFifo:
      target = folder.MakeFifo("pipe");
      break;
  }
  fs::create_directories(ports.AliasFolder());
  fs::create_symlink(target, ports.AliasFolder() + "/COM" + std::to_string(PORT));
  const std::size_t descriptorsBefore = OpenDescriptorCount();

  PosixSerialTransport transport;
  RecordingSink sink;
  DeviceLink link(transport, sink);
  EXPECT_FALSE(link.OpenPort(PORT));
  ASSERT_EQ(sink.entries.size(), 1u);
  EXPECT_EQ(sink.entries[0].text, "Can not open COM" + std::to_string(PORT));
  EXPECT_NE(sink.entries[0].reason.find(row.reason), std::string::npos) << sink.entries[0].reason;
  EXPECT_FALSE(link.IsOpen());
  EXPECT_EQ(OpenDescriptorCount(), descriptorsBefore);
  if (row.target == Target::kRegularFile) {
    std::ifstream in(target);
    std::string content;
    std::getline(in, content);
    EXPECT_EQ(content, "not a port") << "the file was changed";
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, AliasTargets,
                         ::testing::Values(AliasRow{"regular_file", Target::kRegularFile, "not a character device"},
                                           AliasRow{"folder", Target::kFolder, "Is a directory"},
                                           AliasRow{"fifo", Target::kFifo, "not a character device"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PortSafety, OpeningATerminalDoesNotMakeItTheControllingTerminal) {
  BoardSim board;
  ASSERT_TRUE(board.ok());
  // A new session has no controlling terminal; a terminal opened without
  // O_NOCTTY would become it, and /dev/tty would then open.
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (::setsid() < 0) ::_exit(2);
    PosixSerialTransport transport;
    if (!transport.Open(board.device())) ::_exit(3);
    const int tty = ::open("/dev/tty", O_RDWR | O_NOCTTY);
    ::_exit(tty < 0 ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: the port became the controlling terminal; 2, 3: setup failed";
}

// A fresh pseudo-terminal that a child process makes its controlling
// terminal (a new session, then TIOCSCTTY), as a terminal emulator does for
// its shell, held until the session ends.
class TerminalSession {
 public:
  TerminalSession() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) throw std::runtime_error("no pty");
    device_ = ::ptsname(master_);
    int ready[2];
    if (::pipe(ready) != 0 || ::pipe(quit_) != 0) throw std::runtime_error("pipe failed");
    child_ = ::fork();
    if (child_ == 0) {
      ::close(ready[0]);
      ::close(quit_[1]);
      const int terminal = ::open(device_.c_str(), O_RDWR);
      const char ok = ::setsid() >= 0 && terminal >= 0 && ::ioctl(terminal, TIOCSCTTY, 0) == 0 ? 1 : 0;
      if (::write(ready[1], &ok, 1) != 1) ::_exit(2);
      char ignored;
      while (::read(quit_[0], &ignored, 1) < 0 && errno == EINTR) {
      }
      ::_exit(0);
    }
    ::close(ready[1]);
    ::close(quit_[0]);
    char ok = 0;
    if (::read(ready[0], &ok, 1) != 1 || ok != 1) throw std::runtime_error("the child took no controlling terminal");
    ::close(ready[0]);
  }
  ~TerminalSession() {
    End();
    ::close(master_);
  }
  TerminalSession(const TerminalSession&) = delete;
  TerminalSession& operator=(const TerminalSession&) = delete;

  // The session leader exits; the terminal is then nobody's.
  void End() {
    if (child_ <= 0) return;
    ::close(quit_[1]);
    ::waitpid(child_, nullptr, 0);
    child_ = -1;
  }
  pid_t leader() const { return child_; }
  const std::string& device() const { return device_; }
  // What was written to the terminal (the person's screen).
  std::string Screen() const {
    std::string screen;
    pollfd waiter{master_, POLLIN, 0};
    char buffer[256];
    while (::poll(&waiter, 1, 0) > 0 && (waiter.revents & POLLIN) != 0) {
      const ssize_t n = ::read(master_, buffer, sizeof buffer);
      if (n <= 0) break;
      screen.append(buffer, static_cast<std::size_t>(n));
    }
    return screen;
  }
  std::string LineSettings() const {
    termios mode;
    std::memset(&mode, 0, sizeof mode);
    ::tcgetattr(master_, &mode);
    return std::string(reinterpret_cast<const char*>(&mode), sizeof mode);
  }

 private:
  int master_ = -1;
  std::string device_;
  pid_t child_ = -1;
  int quit_[2] = {-1, -1};
};

TEST(ControllingTerminal, SomeonesTerminalIsRefusedThroughAnAliasUntilNobodyHoldsIt) {
  PortAliases ports;
  ports.Activate();
  TerminalSession session;
  fs::create_directories(ports.AliasFolder());
  fs::create_symlink(session.device(), ports.AliasFolder() + "/COM" + std::to_string(PORT));
  const std::string settings = session.LineSettings();

  PosixSerialTransport transport;
  RecordingSink sink;
  DeviceLink link(transport, sink);
  EXPECT_FALSE(link.OpenPort(PORT));
  ASSERT_EQ(sink.entries.size(), 1u);
  EXPECT_EQ(sink.entries[0].text, "Can not open COM" + std::to_string(PORT));
  EXPECT_EQ(sink.entries[0].reason, "COM" + std::to_string(PORT) + " (" + session.device() +
                                        "): terminal in use: the controlling terminal of process " +
                                        std::to_string(session.leader()));
  EXPECT_FALSE(link.OpenDevice(session.device()));
  EXPECT_EQ(session.Screen(), "") << "bytes reached the terminal";
  EXPECT_EQ(session.LineSettings(), settings) << "the terminal's settings changed";

  // A pseudo-terminal no process holds is a board emulator's: usable.
  session.End();
  EXPECT_TRUE(link.OpenPort(PORT)) << (sink.entries.empty() ? "" : sink.entries.back().reason);
  link.ClosePort();
  EXPECT_TRUE(link.OpenDevice(session.device()));
}

// The program's own controlling terminal, by its name and as /dev/tty.
TEST(ControllingTerminal, OwnTerminalIsRefusedByNameAndAsDevTty) {
  BoardSim unused;  // a pseudo-terminal for the child to take
  ASSERT_TRUE(unused.ok());
  int result[2];
  ASSERT_EQ(::pipe(result), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(result[0]);
    std::string report;
    const int terminal = ::open(unused.device().c_str(), O_RDWR);
    if (::setsid() < 0 || terminal < 0 || ::ioctl(terminal, TIOCSCTTY, 0) != 0) {
      report = "setup failed";
    } else {
      PosixSerialTransport transport;
      report += transport.Open("/dev/tty") ? "opened /dev/tty" : transport.LastError();
      report += "\n";
      report += transport.Open(unused.device()) ? "opened the terminal" : transport.LastError();
    }
    if (::write(result[1], report.data(), report.size()) < 0) ::_exit(2);
    ::_exit(0);
  }
  ::close(result[1]);
  std::string report;
  char buffer[512];
  for (ssize_t n; (n = ::read(result[0], buffer, sizeof buffer)) > 0;)
    report.append(buffer, static_cast<std::size_t>(n));
  ::close(result[0]);
  ::waitpid(child, nullptr, 0);
  EXPECT_EQ(report,
            "terminal in use: it stands for a controlling terminal or the console\n"
            "terminal in use: the controlling terminal of process " +
                std::to_string(child));
}

// The reported case end to end: a stale alias whose pseudo-terminal number
// a person's new terminal took. vornactl refuses it; -v says why.
TEST(ControllingTerminal, VornactlRefusesAStaleAliasToSomeonesTerminal) {
  PortAliases ports;
  TempFolder folder;
  TerminalSession session;
  fs::create_directories(ports.AliasFolder());
  fs::create_symlink(session.device(), ports.AliasFolder() + "/COM" + std::to_string(PORT));
  const std::string settings = session.LineSettings();

  Vornactl quiet(folder, "quiet", ports, {"--port", std::to_string(PORT), "quick", "--freq", "99.0"});
  EXPECT_EQ(quiet.Wait(), 1);
  EXPECT_EQ(quiet.err(), "Can not open COM" + std::to_string(PORT) + "\n");
  Vornactl verbose(folder, "verbose", ports, {"--port", std::to_string(PORT), "-v", "read", "--raw"});
  EXPECT_EQ(verbose.Wait(), 1);
  EXPECT_NE(verbose.err().find("Can not open COM" + std::to_string(PORT) + "\n  (COM" + std::to_string(PORT) + " (" +
                               session.device() + "): terminal in use: the controlling terminal of process " +
                               std::to_string(session.leader()) + ")\n"),
            std::string::npos)
      << verbose.err();
  EXPECT_EQ(session.Screen(), "") << "bytes reached the terminal";
  EXPECT_EQ(session.LineSettings(), settings) << "the terminal's settings changed";
}

}  // namespace
}  // namespace vorna::test
