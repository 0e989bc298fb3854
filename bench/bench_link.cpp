// Device link benchmark, all over pseudo-terminals:
//
// 1. 128 chunk exchanges (64 bytes out, 2-byte acknowledgement back) through
//    DeviceLink and PosixSerialTransport against vorna-board-sim, next to the
//    floor: the same exchanges as a plain write() and a blocking read() with
//    a trivial echo peer process. Target: link / floor <= 1.5.
// 2. A whole 8 KiB download (start, 128 chunks, completion) against the
//    board at --baud 115200, next to the wire time of every byte exchanged
//    at 10 bits a byte. Target: measured / wire <= 1.05.
// 3. Opening and closing the port (no target): the cost of the checks made
//    at every open, the look through /proc for a process that holds the
//    device as its controlling terminal foremost, and the wait for a quiet
//    line, with the process count.
// 4. A Quick Setting's traffic against the quiet board (open, register
//    read, close; open, two register writes, the channel, close) through
//    DeviceLink, next to the same bytes on a plainly opened device. The
//    difference is what opening, locking, the terminal checks, draining the
//    line at each open and watching it after the register read cost.
//    Target: difference <= 50 ms.
//
//   bench_link [rounds]        (default 7; the median round is reported)

#include <fcntl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "link/device_link.h"
#include "link/protocol.h"
#include "link/serial_posix.h"
#include "support/board_sim.h"
#include "support/recording_sink.h"

namespace {

using Clock = std::chrono::steady_clock;
using Seconds = std::chrono::duration<double>;

constexpr std::size_t PROGRAM_LENGTH = 8192;
constexpr std::size_t CHUNK_COUNT = PROGRAM_LENGTH / vorna::DOWNLOAD_CHUNK_SIZE;
constexpr int DEFAULT_ROUNDS = 7;
constexpr int OPEN_ROUNDS = 201;
constexpr unsigned PACED_BAUD = 115200;
constexpr double BITS_PER_BYTE = 10.0;
constexpr double EXCHANGE_TARGET = 1.5;
constexpr double WIRE_TARGET = 1.05;
constexpr double QUICK_ADDED_TARGET_MS = 50.0;
constexpr double MICROSECONDS = 1e6;

// Closes the descriptor when the scope ends.
struct Fd {
  explicit Fd(int value) : fd(value) {}
  ~Fd() {
    if (fd >= 0) ::close(fd);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int fd;
};

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

[[noreturn]] void Fail(const std::string& what) {
  std::fprintf(stderr, "bench_link: %s\n", what.c_str());
  std::exit(1);
}

bool ReadAll(int fd, std::uint8_t* data, std::size_t count) {
  std::size_t got = 0;
  while (got < count) {
    const ssize_t n = ::read(fd, data + got, count - got);
    if (n <= 0) return false;
    got += static_cast<std::size_t>(n);
  }
  return true;
}

// The floor: a pseudo-terminal whose master side is held by a child process
// that answers every 64 bytes with two and does nothing else, so that, as
// with the board, each exchange crosses between two processes.
class EchoPeer {
 public:
  EchoPeer() {
    Fd master(::posix_openpt(O_RDWR | O_NOCTTY));
    if (master.fd < 0 || ::grantpt(master.fd) != 0 || ::unlockpt(master.fd) != 0) Fail("echo peer: no pty");
    path_ = ::ptsname(master.fd);
    // Held until the client has opened the device, so that the peer's first
    // read does not see a closed other side.
    slave_ = std::make_unique<Fd>(::open(path_.c_str(), O_RDWR | O_NOCTTY));
    termios mode{};
    ::tcgetattr(slave_->fd, &mode);
    ::cfmakeraw(&mode);
    ::tcsetattr(slave_->fd, TCSANOW, &mode);
    pid_ = ::fork();
    if (pid_ < 0) Fail("echo peer: fork");
    if (pid_ == 0) {
      ::close(slave_->fd);
      std::uint8_t chunk[vorna::DOWNLOAD_CHUNK_SIZE];
      const std::uint8_t ack[vorna::CHUNK_REPLY_SIZE] = {vorna::REPLY_ACCEPTED, 0x00};
      // Ends when the client closes its side (the read fails).
      while (ReadAll(master.fd, chunk, sizeof chunk)) {
        if (::write(master.fd, ack, sizeof ack) != static_cast<ssize_t>(sizeof ack)) break;
      }
      ::_exit(0);
    }
  }
  ~EchoPeer() { ::waitpid(pid_, nullptr, 0); }
  EchoPeer(const EchoPeer&) = delete;
  EchoPeer& operator=(const EchoPeer&) = delete;
  const std::string& path() const { return path_; }
  // Call once the client has the device open.
  void ReleaseDevice() { slave_.reset(); }

 private:
  std::string path_;
  std::unique_ptr<Fd> slave_;
  pid_t pid_ = -1;
};

// Seconds for CHUNK_COUNT plain write/blocking-read exchanges.
double FloorRound(EchoPeer& peer, const std::vector<std::uint8_t>& program) {
  Fd port(::open(peer.path().c_str(), O_RDWR | O_NOCTTY));
  if (port.fd < 0) Fail("floor: cannot open " + peer.path());
  peer.ReleaseDevice();
  termios mode{};
  ::tcgetattr(port.fd, &mode);
  ::cfmakeraw(&mode);
  mode.c_cc[VMIN] = vorna::CHUNK_REPLY_SIZE;
  mode.c_cc[VTIME] = 0;
  ::tcsetattr(port.fd, TCSANOW, &mode);
  std::uint8_t reply[vorna::CHUNK_REPLY_SIZE];
  const auto start = Clock::now();
  for (std::size_t chunk = 0; chunk < CHUNK_COUNT; ++chunk) {
    const std::uint8_t* data = program.data() + chunk * vorna::DOWNLOAD_CHUNK_SIZE;
    if (::write(port.fd, data, vorna::DOWNLOAD_CHUNK_SIZE) != static_cast<ssize_t>(vorna::DOWNLOAD_CHUNK_SIZE) ||
        !ReadAll(port.fd, reply, sizeof reply)) {
      Fail("floor: exchange failed");
    }
  }
  return Seconds(Clock::now() - start).count();
}

struct LinkTimes {
  double chunks;  // the CHUNK_COUNT SendChunk calls
  double whole;   // StartDownload and every chunk
};

LinkTimes LinkRound(const std::string& device, const std::vector<std::uint8_t>& program) {
  vorna::PosixSerialTransport transport;
  vorna::RecordingSink sink;
  vorna::DeviceLink link(transport, sink);
  if (!link.OpenDevice(device)) Fail("cannot open " + device);
  const auto start = Clock::now();
  if (!link.StartDownload(PROGRAM_LENGTH)) Fail("download start refused");
  const auto chunksStart = Clock::now();
  for (std::size_t chunk = 0; chunk < CHUNK_COUNT; ++chunk) {
    if (!link.SendChunk({program.data() + chunk * vorna::DOWNLOAD_CHUNK_SIZE, vorna::DOWNLOAD_CHUNK_SIZE},
                        chunk + 1 == CHUNK_COUNT)) {
      Fail("chunk " + std::to_string(chunk + 1) + " not accepted: " + transport.LastError());
    }
  }
  const auto end = Clock::now();
  link.ClosePort();
  if (!sink.entries.empty()) Fail("the link reported: " + sink.entries.front().text);
  return {Seconds(end - chunksStart).count(), Seconds(end - start).count()};
}

// One exchange on a plainly opened device: the request, then the whole reply.
template <std::size_t N>
void PlainExchange(int fd, const std::array<std::uint8_t, N>& request, std::size_t replySize) {
  std::uint8_t reply[16];
  if (::write(fd, request.data(), N) != static_cast<ssize_t>(N) || !ReadAll(fd, reply, replySize))
    Fail("plain exchange failed");
}

// Seconds for a Quick Setting's traffic on the device opened as plainly as
// it gets: no lock, no checks, no drain, the settings put back at close.
double PlainQuickRound(const std::string& device) {
  const auto start = Clock::now();
  for (int session = 0; session < 2; ++session) {
    Fd port(::open(device.c_str(), O_RDWR | O_NOCTTY));
    if (port.fd < 0) Fail("plain: cannot open " + device);
    termios saved{};
    ::tcgetattr(port.fd, &saved);
    termios mode = saved;
    ::cfmakeraw(&mode);
    ::tcsetattr(port.fd, TCSANOW, &mode);
    if (session == 0) {
      PlainExchange(port.fd, vorna::BuildFrame<vorna::READ_REGISTERS_COMMAND>(),
                    vorna::READ_REGISTERS_COMMAND.replySize);
    } else {
      PlainExchange(port.fd, vorna::BuildFrame<vorna::WRITE_REGISTER_COMMAND>(std::uint8_t{0x00}, std::uint8_t{0x21}),
                    vorna::WRITE_REGISTER_COMMAND.replySize);
      PlainExchange(port.fd, vorna::BuildFrame<vorna::WRITE_REGISTER_COMMAND>(std::uint8_t{0x20}, std::uint8_t{0xA2}),
                    vorna::WRITE_REGISTER_COMMAND.replySize);
      PlainExchange(port.fd, vorna::BuildFrame<vorna::SET_CHANNEL_COMMAND>(std::uint8_t{6}),
                    vorna::SET_CHANNEL_COMMAND.replySize);
    }
    ::tcsetattr(port.fd, TCSANOW, &saved);
  }
  return Seconds(Clock::now() - start).count();
}

// The same traffic through DeviceLink and the serial transport.
double LinkQuickRound(const std::string& device) {
  vorna::PosixSerialTransport transport;
  vorna::RecordingSink sink;
  vorna::DeviceLink link(transport, sink);
  const auto start = Clock::now();
  if (!link.OpenDevice(device) || !link.ReadRegisters()) Fail("quick: the register read failed");
  link.ClosePort();
  if (!link.OpenDevice(device) || !link.WriteRegister(0x00, 0x21) || !link.WriteRegister(0x20, 0xA2) ||
      !link.SetChannel(6))
    Fail("quick: the writes failed");
  link.ClosePort();
  const double seconds = Seconds(Clock::now() - start).count();
  if (!sink.entries.empty()) Fail("quick: the link reported " + sink.entries.front().text);
  return seconds;
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : DEFAULT_ROUNDS;
  std::vector<std::uint8_t> program(PROGRAM_LENGTH);
  for (std::size_t i = 0; i < program.size(); ++i) program[i] = static_cast<std::uint8_t>(i * 31 + 7);

  // 1. Exchange cost, link and floor interleaved round by round so that both
  // see the same machine load.
  // Without its traffic log: that is test equipment, not part of a link.
  vorna::test::BoardSim board(vorna::test::BoardSimSetup{{}, {}, {}, false});
  if (!board.ok()) Fail("the virtual board did not start");
  std::vector<double> floorTimes;
  std::vector<double> linkTimes;
  for (int round = 0; round < rounds; ++round) {
    {
      EchoPeer peer;
      floorTimes.push_back(FloorRound(peer, program));
    }
    linkTimes.push_back(LinkRound(board.device(), program).chunks);
  }
  const double floorTime = Median(floorTimes);
  const double linkTime = Median(linkTimes);
  std::printf("exchange: %zu x (64-byte write, 2-byte reply), median of %d rounds\n", CHUNK_COUNT, rounds);
  std::printf("  raw pty ping-pong floor : %8.1f us total, %6.2f us per exchange\n", floorTime * MICROSECONDS,
              floorTime * MICROSECONDS / CHUNK_COUNT);
  std::printf("  DeviceLink + sim        : %8.1f us total, %6.2f us per exchange\n", linkTime * MICROSECONDS,
              linkTime * MICROSECONDS / CHUNK_COUNT);
  std::printf("  ratio link / floor      : %8.2f   (target <= %.2f)\n", linkTime / floorTime, EXCHANGE_TARGET);

  // 2. A paced download against the time its bytes need on the wire.
  vorna::test::BoardSim paced(vorna::test::BoardSimSetup{{"--baud", std::to_string(PACED_BAUD)}, {}, {}, false});
  if (!paced.ok()) Fail("the paced virtual board did not start");
  const std::size_t wireBytes = vorna::FrameSize(vorna::DOWNLOAD_COMMAND) + vorna::DOWNLOAD_COMMAND.replySize +
                                PROGRAM_LENGTH + CHUNK_COUNT * vorna::CHUNK_REPLY_SIZE + vorna::CHUNK_REPLY_SIZE;
  const double wireTime = static_cast<double>(wireBytes) * BITS_PER_BYTE / PACED_BAUD;
  const int pacedRounds = std::max(1, rounds / 2);
  std::vector<double> pacedTimes;
  for (int round = 0; round < pacedRounds; ++round) pacedTimes.push_back(LinkRound(paced.device(), program).whole);
  const double pacedTime = Median(pacedTimes);
  std::printf("download: %zu bytes at %u baud, median of %d rounds\n", PROGRAM_LENGTH, PACED_BAUD, pacedRounds);
  std::printf("  wire time (%zu bytes)   : %8.1f ms\n", wireBytes, wireTime * 1e3);
  std::printf("  measured                : %8.1f ms\n", pacedTime * 1e3);
  std::printf("  ratio measured / wire   : %8.3f   (target <= %.2f)\n", pacedTime / wireTime, WIRE_TARGET);

  // 3. Open and close.
  std::vector<double> openTimes;
  for (int i = 0; i < OPEN_ROUNDS; ++i) {
    vorna::PosixSerialTransport port;
    const auto start = Clock::now();
    if (!port.Open(board.device())) Fail("cannot open the board: " + port.LastError());
    port.Close();
    openTimes.push_back(Seconds(Clock::now() - start).count());
  }
  std::size_t processes = 0;
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    const std::string name = entry.path().filename().string();
    processes += name.find_first_not_of("0123456789") == std::string::npos ? 1 : 0;
  }
  std::printf("open + close: median of %d, %zu processes running\n", OPEN_ROUNDS, processes);
  std::printf("  per open and close      : %8.1f us\n", Median(openTimes) * MICROSECONDS);

  // 4. A Quick Setting against the quiet board, plain and through the link,
  // interleaved.
  std::vector<double> plainTimes;
  std::vector<double> quickTimes;
  for (int round = 0; round < 3 * rounds; ++round) {
    plainTimes.push_back(PlainQuickRound(board.device()));
    quickTimes.push_back(LinkQuickRound(board.device()));
  }
  const double plainMs = Median(plainTimes) * 1e3;
  const double quickMs = Median(quickTimes) * 1e3;
  std::printf("quick setting against a quiet board: median of %d\n", 3 * rounds);
  std::printf("  plain open, exchanges   : %8.2f ms\n", plainMs);
  std::printf("  DeviceLink + transport  : %8.2f ms (drain %d ms at each open, watch %d ms after the read)\n", quickMs,
              vorna::LINE_QUIET_AT_OPEN_MS, vorna::REPLY_QUIET_MIN_MS);
  std::printf("  added                   : %8.2f ms   (target <= %.0f)\n", quickMs - plainMs, QUICK_ADDED_TARGET_MS);
  return 0;
}
