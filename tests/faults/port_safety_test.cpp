// A port alias is a name the user (or anything that can write the alias
// folder) controls: whatever it points at, only a character device is
// opened, with a reason when it is refused, and opening a terminal never
// makes it the controlling terminal of the program.

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "faults/fault_support.h"
#include "link/device_link.h"
#include "link/serial_posix.h"
#include "support/board_sim.h"

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
  ScratchFolder folder;
  std::string target;
  switch (row.target) {
    case Target::kRegularFile: target = folder.Write("plain", "not a port"); break;
    case Target::kFolder: target = folder.path().string(); break;
    case Target::kFifo: target = folder.MakeFifo("pipe"); break;
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

}  // namespace
}  // namespace vorna::test
