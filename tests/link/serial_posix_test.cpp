#include "link/serial_posix.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <numeric>
#include <stdlib.h>
#include <thread>
#include <unistd.h>

#include "link/protocol.h"

namespace vorna {
namespace {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<std::uint8_t>;

long MillisecondsSince(Clock::time_point start) {
  return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

// The board's side of a pseudo-terminal; the transport opens the other side.
struct PseudoTerminal {
  PseudoTerminal() {
    master = ::posix_openpt(O_RDWR | O_NOCTTY);
    EXPECT_GE(master, 0);
    EXPECT_EQ(::grantpt(master), 0);
    EXPECT_EQ(::unlockpt(master), 0);
    device = ::ptsname(master);
  }
  ~PseudoTerminal() { CloseMaster(); }
  void CloseMaster() {
    if (master >= 0) ::close(master);
    master = -1;
  }
  void Send(const Bytes& bytes) const { ASSERT_EQ(::write(master, bytes.data(), bytes.size()), (ssize_t)bytes.size()); }
  Bytes Receive(std::size_t count) const {
    Bytes bytes(count);
    std::size_t got = 0;
    while (got < count) {
      const ssize_t n = ::read(master, bytes.data() + got, count - got);
      if (n <= 0) break;
      got += static_cast<std::size_t>(n);
    }
    bytes.resize(got);
    return bytes;
  }
  int master = -1;
  std::string device;
};

TEST(PosixSerialTransport, EveryByteValuePassesUnchangedBothWays) {
  PseudoTerminal pty;
  PosixSerialTransport port;
  ASSERT_TRUE(port.Open(pty.device)) << port.LastError();
  Bytes all(256);
  std::iota(all.begin(), all.end(), 0);
  ASSERT_TRUE(port.Write(all.data(), all.size()));
  EXPECT_EQ(pty.Receive(all.size()), all);
  pty.Send(all);
  Bytes back(all.size());
  auto n = port.Read(back.data(), back.size());
  ASSERT_TRUE(n);
  EXPECT_EQ(*n, all.size());
  EXPECT_EQ(back, all);
}

TEST(PosixSerialTransport, InputWaitingBeforeTheOpenIsDiscarded) {
  PseudoTerminal pty;
  pty.Send({0x01, 0x02, 0x03});
  PosixSerialTransport port;
  ASSERT_TRUE(port.Open(pty.device));
  pty.Send({0x42});
  std::uint8_t byte[2] = {};
  auto n = port.Read(byte, 2);
  ASSERT_TRUE(n);
  EXPECT_EQ(*n, 1u);
  EXPECT_EQ(byte[0], 0x42);
}

TEST(PosixSerialTransport, SecondOpenIsRefusedUntilTheFirstCloses) {
  PseudoTerminal pty;
  PosixSerialTransport first, second;
  ASSERT_TRUE(first.Open(pty.device));
  EXPECT_FALSE(second.Open(pty.device));
  EXPECT_NE(second.LastError().find("busy"), std::string::npos) << second.LastError();
  first.Close();
  EXPECT_TRUE(second.Open(pty.device)) << second.LastError();
}

TEST(PosixSerialTransport, RefusesWhatIsNotACharacterDevice) {
  char path[] = "/tmp/vorna-not-a-device-XXXXXX";
  const int fd = ::mkstemp(path);
  ASSERT_GE(fd, 0);
  ::close(fd);
  PosixSerialTransport port;
  EXPECT_FALSE(port.Open(path));
  EXPECT_NE(port.LastError().find("not a character device"), std::string::npos);
  ::unlink(path);
  EXPECT_FALSE(port.Open("/nonexistent/ttyX"));
  EXPECT_NE(port.LastError().find("no such device"), std::string::npos);
}

TEST(PosixSerialTransport, ReadReturnsAsSoonAsTheBytesAreIn) {
  PseudoTerminal pty;
  PosixSerialTransport port;
  ASSERT_TRUE(port.Open(pty.device));
  pty.Send(Bytes(10, 0x55));
  std::uint8_t buffer[10];
  const auto start = Clock::now();
  auto n = port.Read(buffer, 10);
  ASSERT_TRUE(n);
  EXPECT_EQ(*n, 10u);
  // Far below the 1100 ms total time-out of a 10-byte read.
  EXPECT_LT(MillisecondsSince(start), ReadTotalTimeoutMs(10) / 2);
}

TEST(PosixSerialTransport, SilentPeerEndsTheReadAtTheTotalTimeOut) {
  PseudoTerminal pty;
  PosixSerialTransport port;
  ASSERT_TRUE(port.Open(pty.device));
  std::uint8_t buffer[2];
  const auto start = Clock::now();
  auto n = port.Read(buffer, 2);
  const long waited = MillisecondsSince(start);
  ASSERT_TRUE(n);
  EXPECT_EQ(*n, 0u);
  EXPECT_GE(waited, ReadTotalTimeoutMs(2));
  EXPECT_LT(waited, ReadTotalTimeoutMs(2) + 1000);
}

TEST(PosixSerialTransport, GapAfterSomeBytesEndsTheReadAtTheIntervalTimeOut) {
  PseudoTerminal pty;
  PosixSerialTransport port;
  ASSERT_TRUE(port.Open(pty.device));
  pty.Send({1, 2, 3});
  std::uint8_t buffer[10];
  const auto start = Clock::now();
  auto n = port.Read(buffer, 10);
  const long waited = MillisecondsSince(start);
  ASSERT_TRUE(n);
  EXPECT_EQ(*n, 3u);
  EXPECT_GE(waited, READ_INTERVAL_TIMEOUT_MS);
  EXPECT_LT(waited, ReadTotalTimeoutMs(10));
}

TEST(PosixSerialTransport, BytesSpacedWithinTheLimitsAreAllCollected) {
  PseudoTerminal pty;
  PosixSerialTransport port;
  ASSERT_TRUE(port.Open(pty.device));
  std::thread drip([&] {
    for (int i = 0; i < 3; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
      pty.Send({static_cast<std::uint8_t>(i)});
    }
  });
  std::uint8_t buffer[3];
  auto n = port.Read(buffer, 3);
  drip.join();
  ASSERT_TRUE(n);
  EXPECT_EQ(*n, 3u);
}

TEST(PosixSerialTransport, HangUpFailsReadsAndWritesWithoutWaiting) {
  PseudoTerminal pty;
  PosixSerialTransport port;
  ASSERT_TRUE(port.Open(pty.device));
  pty.CloseMaster();
  std::uint8_t buffer[10];
  const auto start = Clock::now();
  EXPECT_FALSE(port.Read(buffer, 10));
  EXPECT_LT(MillisecondsSince(start), ReadTotalTimeoutMs(10));
  EXPECT_NE(port.LastError().find("input/output error"), std::string::npos) << port.LastError();
  EXPECT_FALSE(port.Write(buffer, 5));
}

TEST(PosixSerialTransport, ClosedPortFailsWithoutTouchingAnything) {
  PosixSerialTransport port;
  std::uint8_t byte = 0;
  EXPECT_FALSE(port.Write(&byte, 1));
  EXPECT_FALSE(port.Read(&byte, 1));
  port.Close();
  EXPECT_FALSE(port.IsOpen());
}

}  // namespace
}  // namespace vorna
