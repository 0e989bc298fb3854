// The Windows transport. The tests that need a board run when
// VORNA_TEST_COM_PORT names the COM port number of one, such as the virtual
// board that scripts/cross-tests maps into wine; they are skipped otherwise.

#include "link/serial_win32.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "link/device_link.h"
#include "link/port_names.h"
#include "link/protocol.h"
#include "support/recording_sink.h"

namespace vorna {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Clock = std::chrono::steady_clock;

constexpr const char* BOARD_PORT_VARIABLE = "VORNA_TEST_COM_PORT";
// No machine has this many COM ports.
constexpr const char* ABSENT_PORT = "\\\\.\\COM250";
// Far longer than the virtual board takes to answer.
constexpr auto REPLY_SETTLE_TIME = std::chrono::milliseconds(300);

// A driver that takes no time-outs: the call fails as for a bad parameter.
BOOL WINAPI RefuseTimeouts(HANDLE, LPCOMMTIMEOUTS) {
  ::SetLastError(ERROR_INVALID_PARAMETER);
  return FALSE;
}

long MillisecondsSince(Clock::time_point start) {
  return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

std::string BoardDevice() {
  const char* number = std::getenv(BOARD_PORT_VARIABLE);
  if (number == nullptr || number[0] == '\0') return {};
  return PortCandidates(std::atoi(number), {}).front();
}

struct BoardPort : ::testing::Test {
  void SetUp() override {
    device = BoardDevice();
    if (device.empty()) GTEST_SKIP() << "no board: set " << BOARD_PORT_VARIABLE << " to its COM port number";
  }
  std::string device;
  Win32SerialTransport port;
};

TEST(Win32PortNames, PortNIsTheDosDeviceComN) {
  EXPECT_EQ(PortCandidates(7, "ignored"), std::vector<std::string>{"\\\\.\\COM7"});
  EXPECT_EQ(LookUpSystemPort(12).device, "\\\\.\\COM12");
  EXPECT_TRUE(LookUpSystemPort(0).device.empty());
}

TEST(Win32SerialTransport, AnAbsentPortFailsToOpenWithTheReason) {
  Win32SerialTransport port;
  EXPECT_FALSE(port.Open(ABSENT_PORT));
  EXPECT_FALSE(port.IsOpen());
  EXPECT_EQ(port.LastError().rfind("open: no such device (", 0), 0u) << port.LastError();
  EXPECT_NE(port.LastError().find(", error 2)"), std::string::npos) << port.LastError();
}

TEST(Win32SerialTransport, AnOrdinaryFileIsNotAPort) {
  const auto path = std::filesystem::temp_directory_path() / "vorna-serial-win32-test.txt";
  std::ofstream(path) << "not a port";
  Win32SerialTransport port;
  EXPECT_FALSE(port.Open(path.string()));
  EXPECT_FALSE(port.IsOpen());
  EXPECT_EQ(port.LastError(), "open: not a character device");
  // The refused handle was closed: the file can go.
  EXPECT_TRUE(std::filesystem::remove(path));
}

// NUL is a character device but no port: it takes no time-outs.
TEST(Win32SerialTransport, ACharacterDeviceThatTakesNoTimeOutsIsNotOpened) {
  Win32SerialTransport port;
  EXPECT_FALSE(port.Open("NUL"));
  EXPECT_FALSE(port.IsOpen());
  EXPECT_EQ(port.LastError().rfind("time-outs: ", 0), 0u) << port.LastError();
  EXPECT_EQ(port.LastError().find("busy"), std::string::npos) << port.LastError();
}

TEST(Win32SerialTransport, WritesAndReadsOnAClosedPortFailWithoutTouchingAnything) {
  Win32SerialTransport port;
  const std::uint8_t request[] = {PACKET_LEAD, 0x01, CMD_READ_REGISTERS};
  EXPECT_FALSE(port.Write(request));
  EXPECT_EQ(port.LastError(), "write: the port is not open");
  std::uint8_t reply[10] = {};
  EXPECT_FALSE(port.Read(reply).has_value());
  EXPECT_EQ(port.LastError(), "read: the port is not open");
  port.Close();  // closing a closed port does nothing
  EXPECT_FALSE(port.IsOpen());
}

TEST_F(BoardPort, ARegisterReadIsAnsweredWithTenBytes) {
  ASSERT_TRUE(port.Open(device)) << port.LastError();
  const std::uint8_t request[] = {PACKET_LEAD, 0x01, CMD_READ_REGISTERS};
  ASSERT_TRUE(port.Write(request)) << port.LastError();
  Bytes reply(10);
  const auto got = port.Read(reply);
  ASSERT_TRUE(got.has_value()) << port.LastError();
  EXPECT_EQ(*got, 10u) << port.LastError();
  EXPECT_TRUE(port.ReplyEnded()) << port.LastError();
}

TEST_F(BoardPort, ASilentBoardEndsTheReadAtTheTotalTimeOutWithNoBytes) {
  ASSERT_TRUE(port.Open(device)) << port.LastError();
  Bytes reply(10);
  const auto start = Clock::now();
  const auto got = port.Read(reply);
  const long waited = MillisecondsSince(start);
  ASSERT_TRUE(got.has_value()) << port.LastError();
  EXPECT_EQ(*got, 0u);
  EXPECT_EQ(port.LastError().rfind("read: 0 of 10 bytes after ", 0), 0u) << port.LastError();
  // The driver's clock may tick coarser than ours; it must not return long
  // before the 1100 ms, nor hang.
  EXPECT_GE(waited, ReadTotalTimeoutMs(10) - 100);
  EXPECT_LT(waited, 3 * ReadTotalTimeoutMs(10));
}

TEST_F(BoardPort, AReplyLeftUnreadIsDiscardedByTheNextOpen) {
  ASSERT_TRUE(port.Open(device)) << port.LastError();
  const std::uint8_t request[] = {PACKET_LEAD, 0x01, CMD_READ_REGISTERS};
  ASSERT_TRUE(port.Write(request)) << port.LastError();
  std::this_thread::sleep_for(REPLY_SETTLE_TIME);
  port.Close();

  ASSERT_TRUE(port.Open(device)) << port.LastError();
  std::uint8_t byte = 0;
  const auto got = port.Read({&byte, 1});
  ASSERT_TRUE(got.has_value()) << port.LastError();
  EXPECT_EQ(*got, 0u) << "a stale reply byte 0x" << std::hex << int{byte} << " came through";
}

// With the driver's own time-outs a read might never end: the open fails,
// and the port is released for the next open.
TEST_F(BoardPort, APortThatRefusesTheTimeOutsIsNotOpened) {
  Win32SerialTransport refusing(RefuseTimeouts);
  EXPECT_FALSE(refusing.Open(device));
  EXPECT_FALSE(refusing.IsOpen());
  ASSERT_EQ(refusing.LastError().rfind("time-outs: ", 0), 0u) << refusing.LastError();
  EXPECT_EQ(refusing.LastError().substr(refusing.LastError().size() - 10), ", error 87") << refusing.LastError();
  EXPECT_TRUE(port.Open(device)) << port.LastError();
}

TEST_F(BoardPort, RefusedTimeOutsReportCanNotOpenWithTheReason) {
  Win32SerialTransport refusing(RefuseTimeouts);
  RecordingSink sink;
  DeviceLink link(refusing, sink);
  const int number = std::atoi(std::getenv(BOARD_PORT_VARIABLE));
  EXPECT_FALSE(link.OpenPort(number));
  ASSERT_EQ(sink.entries.size(), 1u);
  EXPECT_EQ(sink.entries[0].text, "Can not open COM" + std::to_string(number));
  EXPECT_EQ(sink.entries[0].reason.rfind("COM" + std::to_string(number) + ": time-outs: ", 0), 0u)
      << sink.entries[0].reason;
}

}  // namespace
}  // namespace vorna
