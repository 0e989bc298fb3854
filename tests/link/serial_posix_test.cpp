#include "link/serial_posix.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <numeric>
#include <optional>
#include <regex>
#include <thread>
#include <utility>
#include <vector>

#include "link/protocol.h"
#include "support/unprivileged.h"

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
  // Everything the transport has sent and the board not yet read; the
  // count of those bytes.
  std::size_t Drain() const {
    constexpr int SETTLE_MS = 200;
    std::size_t total = 0;
    std::uint8_t buffer[4096];
    for (pollfd waiter{master, POLLIN, 0}; ::poll(&waiter, 1, SETTLE_MS) > 0 && (waiter.revents & POLLIN) != 0;) {
      const ssize_t n = ::read(master, buffer, sizeof buffer);
      if (n <= 0) break;
      total += static_cast<std::size_t>(n);
    }
    return total;
  }
  int master = -1;
  std::string device;
};

// A board that sends one byte (0, 1, 2, ...) every `gapMs`: the first at
// once, the rest from a thread of its own. It notes when each write began
// and ended, so that a test can tell whether the line saw the gaps it
// meant: on a loaded machine the thread may oversleep, and a run in which
// it did proves nothing about the transport. Such runs are repeated.
class PacedBoard {
 public:
  static constexpr int ATTEMPTS = 20;

  PacedBoard(const PseudoTerminal& pty, int count, int gapMs) : writes_(static_cast<std::size_t>(count)) {
    SendAndNote(pty, 0);
    thread_ = std::thread([this, &pty, count, gapMs] {
      for (int i = 1; i < count && !stopped_; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(gapMs));
        SendAndNote(pty, i);
      }
    });
  }
  ~PacedBoard() { Join(); }
  PacedBoard(const PacedBoard&) = delete;
  PacedBoard& operator=(const PacedBoard&) = delete;

  void Join() {
    if (thread_.joinable()) thread_.join();
  }
  // Sends nothing more.
  void Stop() {
    stopped_ = true;
    Join();
  }
  // After Join: the longest gap the line can have seen between two bytes
  // whose first was sent before `until` (from the start of one write to
  // the end of the next).
  long LongestGapAtMostMs(Clock::time_point until = Clock::time_point::max()) const {
    long longest = 0;
    for (std::size_t i = 1; i < sent_ && writes_[i - 1].first < until; ++i) {
      const auto gap = std::chrono::duration_cast<std::chrono::milliseconds>(writes_[i].second - writes_[i - 1].first);
      longest = std::max(longest, static_cast<long>(gap.count()));
    }
    return longest;
  }
  // After Join: when the last byte was in the line at the latest.
  Clock::time_point LastSent() const { return writes_[sent_ - 1].second; }

 private:
  void SendAndNote(const PseudoTerminal& pty, int i) {
    const auto begun = Clock::now();
    pty.Send({static_cast<std::uint8_t>(i)});
    writes_[static_cast<std::size_t>(i)] = {begun, Clock::now()};
    sent_ = static_cast<std::size_t>(i) + 1;
  }
  std::vector<std::pair<Clock::time_point, Clock::time_point>> writes_;
  std::size_t sent_ = 0;
  std::atomic<bool> stopped_ = false;
  std::thread thread_;
};

TEST(PosixSerialTransport, EveryByteValuePassesUnchangedBothWays) {
  PseudoTerminal pty;
  PosixSerialTransport port;
  ASSERT_TRUE(port.Open(pty.device)) << port.LastError();
  Bytes all(256);
  std::iota(all.begin(), all.end(), 0);
  ASSERT_TRUE(port.Write(all));
  EXPECT_EQ(pty.Receive(all.size()), all);
  pty.Send(all);
  Bytes back(all.size());
  auto n = port.Read(back);
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
  auto n = port.Read({byte, 2});
  ASSERT_TRUE(n);
  EXPECT_EQ(*n, 1u);
  EXPECT_EQ(byte[0], 0x42);
}

// The rest of an answer nobody waits for any more, arriving at the board's
// pace: the open drains what comes until the line is quiet, and refuses a
// line that never goes quiet.
TEST(PosixSerialTransport, OpenDrainsATrailingAnswerAndRefusesALineThatNeverQuietens) {
  for (const auto& [bytes, spacing] : {std::pair{6, 5}, std::pair{400, 4}}) {
    bool paced = false;
    for (int attempt = 0; attempt < PacedBoard::ATTEMPTS && !paced; ++attempt) {
      PseudoTerminal pty;
      PacedBoard board(pty, bytes, spacing);
      PosixSerialTransport port;
      const bool opened = port.Open(pty.device);
      const auto openReturned = Clock::now();
      const bool refusal = bytes * spacing > LINE_DRAIN_LIMIT_MS;
      // A refused open needs no more bytes; a drained one must have had
      // them all.
      if (refusal) {
        board.Stop();
      } else {
        board.Join();
      }
      paced = board.LongestGapAtMostMs(openReturned) < LINE_QUIET_AT_OPEN_MS;
      if (!paced) continue;
      if (refusal) {
        EXPECT_FALSE(opened);
        EXPECT_TRUE(port.LastError().starts_with("the board is still sending: ")) << port.LastError();
        continue;
      }
      ASSERT_TRUE(opened) << port.LastError();
      pty.Send({0x42});
      std::uint8_t byte[2] = {};
      EXPECT_EQ(port.Read({byte, 2}), std::optional<std::size_t>(1));
      EXPECT_EQ(byte[0], 0x42);
    }
    EXPECT_TRUE(paced) << "the board never kept a gap below " << LINE_QUIET_AT_OPEN_MS << " ms";
  }
}

// After a reply, the line is watched as long as its bytes' gaps suggest;
// a byte in that time fails the reply and is dropped with the rest.
TEST(PosixSerialTransport, ReplyEndsOnlyWhenNothingFollowsWithinTwiceItsGaps) {
  constexpr int GAP_MS = 40;
  for (const int extra : {0, 1}) {
    bool paced = false;
    for (int attempt = 0; attempt < PacedBoard::ATTEMPTS && !paced; ++attempt) {
      PseudoTerminal pty;
      PosixSerialTransport port;
      ASSERT_TRUE(port.Open(pty.device)) << port.LastError();
      PacedBoard board(pty, 3 + extra, GAP_MS);
      std::uint8_t reply[3] = {};
      EXPECT_EQ(port.Read({reply, 3}), std::optional<std::size_t>(3));
      const bool ended = port.ReplyEnded();
      board.Join();
      // The extra byte came within the watch only if no gap outgrew it.
      paced = board.LongestGapAtMostMs() < ReplyQuietMs(GAP_MS);
      if (!paced) continue;
      EXPECT_EQ(ended, extra == 0) << port.LastError();
      if (extra > 0) {
        EXPECT_TRUE(port.LastError().starts_with("the board is still sending: 1 more bytes came after"));
      }
      EXPECT_TRUE(port.ReplyEnded()) << "the stray byte was dropped";
    }
    EXPECT_TRUE(paced) << "the board never kept its gaps below " << ReplyQuietMs(GAP_MS) << " ms";
  }
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
  auto n = port.Read({buffer, 10});
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
  auto n = port.Read({buffer, 2});
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
  auto n = port.Read({buffer, 10});
  const long waited = MillisecondsSince(start);
  ASSERT_TRUE(n);
  EXPECT_EQ(*n, 3u);
  EXPECT_GE(waited, READ_INTERVAL_TIMEOUT_MS);
  EXPECT_LT(waited, ReadTotalTimeoutMs(10));
}

TEST(PosixSerialTransport, BytesSpacedWithinTheLimitsAreAllCollected) {
  bool paced = false;
  for (int attempt = 0; attempt < PacedBoard::ATTEMPTS && !paced; ++attempt) {
    PseudoTerminal pty;
    PosixSerialTransport port;
    ASSERT_TRUE(port.Open(pty.device));
    const auto start = Clock::now();
    PacedBoard board(pty, 3, 100);
    std::uint8_t buffer[3];
    auto n = port.Read({buffer, 3});
    board.Join();
    // Within the limits as the line saw them: no gap as long as the
    // interval time-out, the last byte in before the total one.
    paced = board.LongestGapAtMostMs() < READ_INTERVAL_TIMEOUT_MS &&
            board.LastSent() - start < std::chrono::milliseconds(ReadTotalTimeoutMs(3));
    if (!paced) continue;
    ASSERT_TRUE(n);
    EXPECT_EQ(*n, 3u);
  }
  EXPECT_TRUE(paced) << "the board never kept within the read's limits";
}

// A board that stops reading: the pseudo-terminal takes bytes until its
// buffer is full, then the write waits out its time-out and says how far it
// got. Once the board reads again, the port works.
TEST(PosixSerialTransport, BoardThatStopsReadingEndsTheWriteAtItsTimeOut) {
  PseudoTerminal pty;
  PosixSerialTransport port;
  ASSERT_TRUE(port.Open(pty.device)) << port.LastError();
  // Far more than a pseudo-terminal holds.
  const Bytes request(std::size_t{1} << 20, 0x5A);
  const auto start = Clock::now();
  EXPECT_FALSE(port.Write(request));
  const long waited = MillisecondsSince(start);
  EXPECT_GE(waited, WRITE_TIMEOUT_MS);
  EXPECT_LT(waited, WRITE_TIMEOUT_MS + 1000);
  const std::regex timedOut(R"(write: timed out after 2000 ms with (\d+) of 1048576 bytes sent)");
  const std::string error = port.LastError();
  std::smatch sent;
  ASSERT_TRUE(std::regex_match(error, sent, timedOut)) << error;
  const std::size_t count = std::stoul(sent[1].str());
  EXPECT_GT(count, 0u);
  EXPECT_LT(count, request.size());
  EXPECT_EQ(pty.Drain(), count);
  const std::uint8_t next[] = {PACKET_LEAD, 0x01, CMD_READ_REGISTERS};
  ASSERT_TRUE(port.Write(next)) << port.LastError();
  EXPECT_EQ(pty.Receive(sizeof next), Bytes(std::begin(next), std::end(next)));
}

// Each reason reaches LastError with the step that failed.
TEST(PosixSerialTransport, OpenFailuresSayWhichStepFailedAndWhy) {
  PosixSerialTransport port;
  EXPECT_FALSE(port.Open("/nonexistent/ttyX"));
  EXPECT_EQ(port.LastError(), "open: no such device");

  PseudoTerminal pty;
  PosixSerialTransport holder;
  ASSERT_TRUE(holder.Open(pty.device)) << holder.LastError();
  EXPECT_FALSE(port.Open(pty.device));
  EXPECT_EQ(port.LastError(), "lock: busy: another program has the port open");
  holder.Close();

  // Root opens any device: the refused open runs as an ordinary user.
  ASSERT_EQ(::chmod(pty.device.c_str(), 0), 0) << pty.device;
  test::RunUnprivileged([&] {
    PosixSerialTransport refused;
    EXPECT_FALSE(refused.Open(pty.device));
    // Only its owner could, and joining a group would not help.
    const std::regex ownerAndMode(R"(open: permission denied \(owner \S+, group \S+, mode 0000\))");
    EXPECT_TRUE(std::regex_match(refused.LastError(), ownerAndMode)) << refused.LastError();
  });
}

TEST(PosixSerialTransport, HangUpFailsReadsAndWritesWithoutWaiting) {
  PseudoTerminal pty;
  PosixSerialTransport port;
  ASSERT_TRUE(port.Open(pty.device));
  pty.CloseMaster();
  std::uint8_t buffer[10];
  const auto start = Clock::now();
  EXPECT_FALSE(port.Read({buffer, 10}));
  EXPECT_LT(MillisecondsSince(start), ReadTotalTimeoutMs(10));
  EXPECT_NE(port.LastError().find("input/output error"), std::string::npos) << port.LastError();
  EXPECT_FALSE(port.Write({buffer, 5}));
}

// The line settings as the device holds them, every byte of the record;
// zeroed first so that padding compares equal too.
struct LineSettings {
  termios mode;
  bool ok = false;
};

LineSettings SettingsOf(const std::string& device) {
  LineSettings settings;
  std::memset(&settings.mode, 0, sizeof settings.mode);
  const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return settings;
  settings.ok = ::tcgetattr(fd, &settings.mode) == 0;
  ::close(fd);
  return settings;
}

bool SameBytes(const termios& a, const termios& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// A starting mode: what another program left on the device.
struct StartingMode {
  const char* name;
  void (*change)(termios&);
};

void PrintTo(const StartingMode& m, std::ostream* os) { *os << m.name; }

const StartingMode STARTING_MODES[] = {
    {"AsCreated", [](termios&) {}},
    {"SoftwareFlowControl", [](termios& m) { m.c_iflag |= IXON | IXOFF | IXANY; }},
    {"ParityCheckedSevenBitsTwoStops",
     [](termios& m) {
       m.c_iflag |= INPCK | ISTRIP | PARMRK;
       m.c_cflag = (m.c_cflag & ~static_cast<tcflag_t>(CSIZE)) | CS7 | PARENB | PARODD | CSTOPB;
     }},
    {"ModemLinesWatchedHangUpOnClose",
     [](termios& m) {
       m.c_cflag &= ~static_cast<tcflag_t>(CLOCAL);
       m.c_cflag |= HUPCL;
     }},
    {"RawBlockingAt9600",
     [](termios& m) {
       ::cfmakeraw(&m);
       m.c_cc[VMIN] = 1;
       m.c_cc[VTIME] = 5;
       ::cfsetispeed(&m, B9600);
       ::cfsetospeed(&m, B9600);
     }},
    {"CookedWithOwnControlCharacters",
     [](termios& m) {
       m.c_lflag |= ICANON | ECHO | ECHOE | ISIG | IEXTEN;
       m.c_oflag |= OPOST | ONLCR;
       m.c_cc[VINTR] = 0x01;
       m.c_cc[VSTART] = 0x05;
       m.c_cc[VSTOP] = 0x06;
     }},
};

class LineSettingsRestored : public ::testing::TestWithParam<StartingMode> {
 protected:
  void SetUp() override {
    // The device's settings live as long as some side holds it open; the
    // test's own handle on the board side keeps them.
    holder_ = ::open(pty_.device.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(holder_, 0);
    termios mode{};
    ASSERT_EQ(::tcgetattr(holder_, &mode), 0);
    GetParam().change(mode);
    ASSERT_EQ(::tcsetattr(holder_, TCSANOW, &mode), 0);
    before_ = SettingsOf(pty_.device);
    ASSERT_TRUE(before_.ok);
  }
  void TearDown() override {
    if (holder_ >= 0) ::close(holder_);
  }

  PseudoTerminal pty_;
  int holder_ = -1;
  LineSettings before_;
};

TEST_P(LineSettingsRestored, AfterASessionTheDeviceHoldsItsSettingsByteForByte) {
  {
    PosixSerialTransport port;
    ASSERT_TRUE(port.Open(pty_.device)) << port.LastError();
    // Raw and binary-safe during the session.
    const LineSettings during = SettingsOf(pty_.device);
    ASSERT_TRUE(during.ok);
    EXPECT_EQ(during.mode.c_iflag & (IXON | IXOFF | IXANY | ISTRIP | INPCK | ICRNL), 0u);
    EXPECT_EQ(during.mode.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(during.mode.c_oflag & OPOST, 0u);
    const std::uint8_t request[] = {0x11, 0x13, 0x0D, 0x03};
    ASSERT_TRUE(port.Write(request));
    EXPECT_EQ(pty_.Receive(sizeof request), Bytes(std::begin(request), std::end(request)));
    port.Close();
    const LineSettings after = SettingsOf(pty_.device);
    ASSERT_TRUE(after.ok);
    EXPECT_TRUE(SameBytes(after.mode, before_.mode)) << "after Close";
    // Another session, ended by the destructor.
    ASSERT_TRUE(port.Open(pty_.device)) << port.LastError();
  }
  const LineSettings after = SettingsOf(pty_.device);
  ASSERT_TRUE(after.ok);
  EXPECT_TRUE(SameBytes(after.mode, before_.mode)) << "after the destructor";
}

INSTANTIATE_TEST_SUITE_P(Modes, LineSettingsRestored, ::testing::ValuesIn(STARTING_MODES),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PosixSerialTransport, CloseAfterAHangUpReleasesThePortQuietly) {
  PseudoTerminal pty;
  PosixSerialTransport port;
  ASSERT_TRUE(port.Open(pty.device));
  pty.CloseMaster();
  const std::size_t open =
      std::distance(std::filesystem::directory_iterator("/proc/self/fd"), std::filesystem::directory_iterator());
  port.Close();
  EXPECT_FALSE(port.IsOpen());
  EXPECT_EQ(static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                                                   std::filesystem::directory_iterator())),
            open - 1);
}

// A stop signal ends the command: nothing opens, no request goes out, and
// a read waiting for its reply ends without waiting for its time-out.
TEST(PosixSerialTransport, StopSignalEndsTheSessionEarly) {
  volatile std::sig_atomic_t stop = 0;
  PseudoTerminal pty;
  PosixSerialTransport port(&stop);
  ASSERT_TRUE(port.Open(pty.device));
  std::uint8_t buffer[10] = {0xAA, 0x01, 0x02};
  ASSERT_TRUE(port.Write({buffer, 3}));
  EXPECT_EQ(pty.Receive(3), Bytes({0xAA, 0x01, 0x02}));
  stop = SIGTERM;
  EXPECT_FALSE(port.Read({buffer, 1}));
  EXPECT_EQ(port.LastError(), "read: stopped by signal 15");
  EXPECT_FALSE(port.Write({buffer, 3}));
  EXPECT_EQ(port.LastError(), "write: stopped by signal 15");
  port.Close();
  EXPECT_FALSE(port.Open(pty.device));
  EXPECT_EQ(port.LastError(), "open: stopped by signal 15");
  EXPECT_FALSE(port.IsOpen());
}

// Lines of /proc/PID/stat and the controlling terminal they name.
struct StatLine {
  const char* name;
  std::string line;
  std::optional<dev_t> terminal;
};

void PrintTo(const StatLine& s, std::ostream* os) { *os << s.name; }

class StatLines : public ::testing::TestWithParam<StatLine> {};

TEST_P(StatLines, NameTheControllingTerminal) {
  EXPECT_EQ(ControllingTerminalOf(GetParam().line), GetParam().terminal);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, StatLines,
    ::testing::Values(StatLine{"PseudoTerminal6", "4242 (bash) S 4200 4242 4242 34822 4300 4194304 1 2",
                               makedev(136, 6)},
                      StatLine{"PseudoTerminal300", "7 (sh) S 1 7 7 1083436 7 0", makedev(136, 300)},
                      StatLine{"SerialPort", "9 (getty) S 1 9 9 1088 9 0", makedev(4, 64)},
                      StatLine{"NoTerminal", "1 (init) S 0 1 1 0 -1 4194560", std::nullopt},
                      StatLine{"NameWithBlanksAndParentheses", "12 (a) b (c)) R 1 12 12 34817 12 0", makedev(136, 1)},
                      StatLine{"NegativeNumber", "3 (x) S 1 3 3 -5 3 0", std::nullopt},
                      StatLine{"CutShort", "3 (x) S 1 3", std::nullopt},
                      StatLine{"NotANumber", "3 (x) S 1 3 3 tty 3 0", std::nullopt},
                      StatLine{"NoName", "3 x S 1 3 3 34816 3 0", std::nullopt}, StatLine{"Empty", "", std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

// A made-up process folder: what the scan finds, and that it skips what is
// not a process.
TEST(FindTerminalHolders, FindsTheProcessHoldingTheTerminalAndOnlyThat) {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("vorna-proc-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  const auto process = [&](const std::string& name, const std::string& stat) {
    std::filesystem::create_directories(folder / name);
    std::ofstream(folder / name / "stat") << stat;
  };
  process("1", "1 (init) S 0 1 1 0 -1 0\n");
  process("self", "99 (me) S 1 99 99 34822 99 0\n");
  process("12a", "12 (odd) S 1 12 12 34822 12 0\n");
  process("300", "300 (bash) S 1 300 300 34822 300 0\n");
  std::filesystem::create_directories(folder / "301");  // ended meanwhile: no stat
  EXPECT_EQ(FindTerminalHolders(makedev(136, 6), folder.string()).holder, std::optional<pid_t>(300));
  EXPECT_EQ(FindTerminalHolders(makedev(136, 7), folder.string()).holder, std::nullopt);
  EXPECT_EQ(FindTerminalHolders(makedev(136, 6), (folder / "none").string()).holder, std::nullopt);
  std::filesystem::remove_all(folder);
}

TEST(PosixSerialTransport, ClosedPortFailsWithoutTouchingAnything) {
  PosixSerialTransport port;
  std::uint8_t byte = 0;
  EXPECT_FALSE(port.Write({&byte, 1}));
  EXPECT_FALSE(port.Read({&byte, 1}));
  port.Close();
  EXPECT_FALSE(port.IsOpen());
}

}  // namespace
}  // namespace vorna
