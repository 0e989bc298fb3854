// Each board failure's box over a real serial device: the fixed text, and
// under it the reason the link gives, the one vornactl -v prints.

#include <gtest/gtest.h>

#include <QMessageBox>

#include <fcntl.h>
#include <grp.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <regex>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "app/message_box.h"
#include "gui_test_support.h"
#include "link/serial_posix.h"
#include "support/board_sim.h"

namespace vorna::test {
namespace {

constexpr int PORT = 3;
constexpr uid_t NOBODY = 65534;
constexpr gid_t NOGROUP = 65534;

struct Box {
  std::string text;
  std::string reason;
};

// Opens as an ordinary user: the open runs in a child that, under root,
// drops to nobody first, and its result comes back through a pipe. All else
// goes to the real transport.
class OrdinaryUserOpen final : public Transport {
 public:
  bool Open(const std::string& device) override {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) return Fail("pipe failed");
    const pid_t child = ::fork();
    if (child < 0) {
      ::close(ends[0]);
      ::close(ends[1]);
      return Fail("fork failed");
    }
    if (child == 0) {
      ::close(ends[0]);
      if (::geteuid() == 0 && (::setgroups(0, nullptr) != 0 || ::setgid(NOGROUP) != 0 || ::setuid(NOBODY) != 0))
        ::_exit(2);
      PosixSerialTransport transport;
      const bool opened = transport.Open(device);
      const std::string error = transport.LastError();
      const ssize_t written = ::write(ends[1], error.data(), error.size());
      ::_exit(opened || written != static_cast<ssize_t>(error.size()) ? 1 : 0);
    }
    ::close(ends[1]);
    std::string error;
    char piece[256];
    ssize_t n;
    while ((n = ::read(ends[0], piece, sizeof piece)) > 0 || (n < 0 && errno == EINTR))
      if (n > 0) error.append(piece, static_cast<std::size_t>(n));
    ::close(ends[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return Fail("the child opened it or could not drop to nobody");
    return Fail(error);
  }
  void Close() override {}
  bool IsOpen() const override { return false; }
  bool Write(std::span<const std::uint8_t>) override { return false; }
  std::optional<std::size_t> Read(std::span<std::uint8_t>) override { return std::nullopt; }
  std::string LastError() const override { return lastError_; }

 private:
  bool Fail(std::string error) {
    lastError_ = std::move(error);
    return false;
  }
  std::string lastError_;
};

class BoxReasonTest : public ::testing::Test {
 protected:
  BoxReasonTest() {
    window.state().portNumber = PORT;
    previousHook_ = SetMessageBoxHook([this](QMessageBox& box) {
      boxes.push_back({box.text().toStdString(), box.informativeText().toStdString()});
    });
    window.show();
  }
  ~BoxReasonTest() override {
    SetMessageBoxHook(previousHook_);
    EXPECT_FALSE(watchdog.fired());
  }

  // Runs a Quick Setting with port 3 reaching `device` through `transport`.
  void RunQuickSetting(Transport& transport, const std::string& device) {
    window.UseTransport(transport, [device](int n) {
      return n == PORT ? PortLookup{device, {}} : PortLookup{{}, "no such port"};
    });
    window.RunCommand(ID_QUICK_SETTING);
  }

  TempFolder folder;
  MainWindow window{{"VORNA", folder.File("VORNA.ini"), folder.File("VORNAHLP.html")}};
  PosixSerialTransport transport;
  std::vector<Box> boxes;
  ModalWatchdog watchdog;

 private:
  MessageBoxHook previousHook_;
};

TEST_F(BoxReasonTest, NoDeviceNamesThePathTried) {
  const std::string device = folder.File("ttyACM7");
  RunQuickSetting(transport, device);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Can not open COM3");
  EXPECT_EQ(boxes[0].reason, "COM3 (" + device + "): open: no such device");
}

TEST_F(BoxReasonTest, BusyPortSaysAnotherProgramHasIt) {
  BoardSim sim;
  ASSERT_TRUE(sim.ok());
  const int held = ::open(sim.device().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(held, 0);
  ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);
  RunQuickSetting(transport, sim.device());
  ::close(held);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Can not open COM3");
  EXPECT_EQ(boxes[0].reason, "COM3 (" + sim.device() + "): lock: busy: another program has the port open");
}

TEST_F(BoxReasonTest, PermissionDeniedOnAnOwnersDeviceSaysWhoMayOpenIt) {
  BoardSim sim;
  ASSERT_TRUE(sim.ok());
  // Only its owner may open it, and the open runs as somebody else.
  ASSERT_EQ(::chmod(sim.device().c_str(), ::geteuid() == 0 ? S_IRUSR | S_IWUSR : 0), 0);
  OrdinaryUserOpen ordinaryUser;
  RunQuickSetting(ordinaryUser, sim.device());
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Can not open COM3");
  // Joining a group would not let the user in.
  EXPECT_TRUE(std::regex_match(boxes[0].reason, std::regex("COM3 \\(" + sim.device() +
                                                           "\\): open: permission denied \\(owner \\S+, group \\S+, "
                                                           "mode 0[06]00\\)")))
      << boxes[0].reason;
}

TEST_F(BoxReasonTest, TimeOutSaysWhatDidNotArriveAndHowLongItWaited) {
  BoardSim sim({"--silent", "2"});  // the register read goes unanswered
  ASSERT_TRUE(sim.ok());
  RunQuickSetting(transport, sim.device());
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, "Read error");
  EXPECT_EQ(boxes[0].reason,
            "COM3 (" + sim.device() + "): 0 of 10 reply bytes arrived within the time-out (1100 ms at most)");
}

}  // namespace
}  // namespace vorna::test
