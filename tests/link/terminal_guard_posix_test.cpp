// Which devices are never opened as a board, decided from their numbers
// over made-up /proc and /sys trees; and that the transport decides it
// before it opens the device for writing.

#include "link/terminal_guard_posix.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "link/serial_posix.h"
#include "support/temp_folder.h"
#include "support/unprivileged.h"

namespace vorna::test {
namespace {

namespace fs = std::filesystem;

struct GuardRow {
  const char* name = "";
  dev_t device = 0;
  std::string consoles = "";                      // /proc/consoles
  std::string active = "";                        // /sys/class/tty/console/active; ttyS0 is 4:64, ttyS1 4:65
  bool fullView = true;                           // a kernel thread among the processes
  bool held = false;                              // the controlling terminal of process 300
  std::optional<unsigned> master = std::nullopt;  // a process in view holds that pty's master
  bool hidepid = false;                           // one process cannot be looked into, by an ordinary user
  std::string refusal = "";                       // how the refusal starts; empty: opened
};

void PrintTo(const GuardRow& row, std::ostream* os) { *os << row.name; }

// A /proc and a /sys as the row has them, under `folder`.
SystemFolders MakeTree(const GuardRow& row, const TempFolder& folder) {
  const SystemFolders folders{(folder / "sys").string(), (folder / "proc").string()};
  const auto write = [](const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream(file) << text;
  };
  write(fs::path(folders.proc) / "consoles", row.consoles);
  write(fs::path(folders.sysfs) / "class/tty/console/active", row.active);
  write(fs::path(folders.sysfs) / "class/tty/ttyS0/dev", "4:64\n");
  write(fs::path(folders.sysfs) / "class/tty/ttyS1/dev", "4:65\n");
  write(fs::path(folders.proc) / "1/stat", "1 (init) S 0 1 1 0 -1 4194560 0\n");
  if (row.fullView) write(fs::path(folders.proc) / "2/stat", "2 (kthreadd) S 0 0 0 0 -1 2129984 0\n");
  if (row.held) {
    const unsigned ttyNr = (minor(row.device) & 0xFF) | (major(row.device) << 8) | ((minor(row.device) & ~0xFFu) << 12);
    write(fs::path(folders.proc) / "300/stat", "300 (bash) S 1 300 300 " + std::to_string(ttyNr) + " 300 0\n");
  }
  if (row.master) {
    write(fs::path(folders.proc) / "400/stat", "400 (vorna-board-sim) S 1 400 400 0 -1 0\n");
    write(fs::path(folders.proc) / "400/fdinfo/5",
          "pos:\t0\nflags:\t02\ntty-index:\t" + std::to_string(*row.master) + "\n");
    fs::create_directories(fs::path(folders.proc) / "400/fd");
    fs::create_symlink("/dev/ptmx", fs::path(folders.proc) / "400/fd/5");
    fs::create_symlink("/dev/null", fs::path(folders.proc) / "400/fd/0");
  }
  if (row.hidepid) {
    write(fs::path(folders.proc) / "500/stat", "500 (sshd) S 1 500 500 0 -1 0\n");
    fs::permissions(fs::path(folders.proc) / "500/stat", fs::perms::none);
    for (const auto& entry : fs::recursive_directory_iterator(folder.path())) GiveToUnprivileged(entry.path());
    GiveToUnprivileged(folder.path().string());
  }
  return folders;
}

class TerminalGuard : public ::testing::TestWithParam<GuardRow> {};

TEST_P(TerminalGuard, RefusesConsolesVirtualTerminalsAndTerminalsInUse) {
  const GuardRow& row = GetParam();
  TempFolder folder;
  const SystemFolders folders = MakeTree(row, folder);
  const auto check = [&] {
    const std::string refusal = TerminalRefusal(row.device, folders);
    EXPECT_EQ(refusal.substr(0, row.refusal.size()), row.refusal) << refusal;
    EXPECT_EQ(refusal.empty(), row.refusal.empty()) << refusal;
  };
  row.hidepid ? RunUnprivileged(check) : check();
}

const std::string CONSOLE_LINE = "ttyS0                -W- (EC  p a)    4:64\n";
const std::string CONSOLE = "terminal in use: the system console";
const std::string NO_KERNEL_THREAD =
    "terminal may be in use: this process does not see every process: its process list shows no kernel thread";

INSTANTIATE_TEST_SUITE_P(
    Devices, TerminalGuard,
    ::testing::Values(
        GuardRow{.name = "Tty0", .device = makedev(4, 0), .refusal = "terminal in use: virtual terminal tty0"},
        GuardRow{.name = "Tty63", .device = makedev(4, 63), .refusal = "terminal in use: virtual terminal tty63"},
        GuardRow{.name = "SerialPort", .device = makedev(4, 64), .consoles = "tty0 -WU (EC p) 4:1\n"},
        GuardRow{.name = "ListedConsole", .device = makedev(4, 64), .consoles = CONSOLE_LINE, .refusal = CONSOLE},
        GuardRow{.name = "ActiveConsole", .device = makedev(4, 65), .active = "tty0 ttyS1\n", .refusal = CONSOLE},
        GuardRow{.name = "DevConsole", .device = makedev(5, 1), .refusal = "terminal in use: it stands for"},
        GuardRow{.name = "DevTty", .device = makedev(5, 0), .refusal = "terminal in use: it stands for"},
        GuardRow{.name = "UsbSerialOutOfView", .device = makedev(188, 0), .fullView = false},
        GuardRow{.name = "FreePseudoTerminal", .device = makedev(136, 5)},
        GuardRow{.name = "HeldPseudoTerminal",
                 .device = makedev(136, 300),
                 .held = true,
                 .refusal = "terminal in use: the controlling terminal of process 300"},
        GuardRow{.name = "OutOfViewMasterInView", .device = makedev(136, 5), .fullView = false, .master = 5},
        GuardRow{.name = "OutOfViewOtherMaster",
                 .device = makedev(136, 5),
                 .fullView = false,
                 .master = 6,
                 .refusal = NO_KERNEL_THREAD},
        GuardRow{.name = "ProcessesHidden",
                 .device = makedev(136, 5),
                 .hidepid = true,
                 .refusal = "terminal may be in use: this process does not see every process: 1 of its processes "
                            "cannot be looked into (hidepid), and no process in view holds the other side"}),
    [](const auto& info) { return std::string(info.param.name); });

// A pseudo-terminal listed as a console: refused, and never opened for
// writing (inotify reports every close of a file opened for writing).
TEST(PosixSerialTransport, ConsoleIsRefusedBeforeItIsOpened) {
  const int board = ::posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(board, 0);
  ASSERT_EQ(::grantpt(board), 0);
  ASSERT_EQ(::unlockpt(board), 0);
  const std::string device = ::ptsname(board);
  struct stat info {};
  ASSERT_EQ(::stat(device.c_str(), &info), 0);
  TempFolder folder;
  const GuardRow row{.consoles = "ttyX -W- (EC p a) " + std::to_string(major(info.st_rdev)) + ":" +
                                 std::to_string(minor(info.st_rdev)) + "\n"};
  const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  ASSERT_GE(watch, 0);
  ASSERT_GE(::inotify_add_watch(watch, device.c_str(), IN_OPEN | IN_CLOSE_WRITE), 0);

  PosixSerialTransport port(nullptr, MakeTree(row, folder));
  EXPECT_FALSE(port.Open(device));
  EXPECT_EQ(port.LastError(), "terminal in use: the system console");
  alignas(inotify_event) char events[sizeof(inotify_event) + NAME_MAX + 1];
  EXPECT_LT(::read(watch, events, sizeof events), 0) << "the device was opened";

  PosixSerialTransport free(nullptr, MakeTree(GuardRow{}, folder));
  EXPECT_TRUE(free.Open(device)) << free.LastError();
  EXPECT_GT(::read(watch, events, sizeof events), 0) << "inotify does not see opens here";
  ::close(watch);
  ::close(board);
}

}  // namespace
}  // namespace vorna::test
