#pragma once
// Runs the virtual board (vorna-board-sim) for a test: a child process with
// its own temporary log, state and program files, and a raw client for its
// device. Failures to start or stop are reported as test failures.

#include <sys/types.h>

#include <chrono>
#include <csignal>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vorna::test {

using namespace std::chrono_literals;

// How long the board may take to print its device path.
inline constexpr auto SIM_START_LIMIT = 5s;

struct BoardSimSetup {
  std::vector<std::string> args;  // extra options for the board
  std::string statePath;          // empty: a fresh file in the board's own folder
  std::string configHome;         // when set, the board's XDG_CONFIG_HOME (for --com)
  bool log = true;                // false: no traffic log (for timing the board itself)
  // Under root, run the board as the ordinary user of unprivileged.h, as a
  // user who starts it does: its folder and `configHome` are given to that
  // user.
  bool asOrdinaryUser = false;
};

class BoardSim {
 public:
  explicit BoardSim(std::vector<std::string> args = {});
  explicit BoardSim(BoardSimSetup setup);
  // Stops the board if it still runs, and removes its folder.
  ~BoardSim();
  BoardSim(const BoardSim&) = delete;
  BoardSim& operator=(const BoardSim&) = delete;

  // True when the board started and named its device.
  bool ok() const { return !device_.empty(); }
  const std::string& device() const { return device_; }
  pid_t pid() const { return pid_; }

  const std::string& logPath() const { return logPath_; }
  const std::string& statePath() const { return statePath_; }
  const std::string& programPath() const { return programPath_; }

  // The log so far, one entry per line.
  std::vector<std::string> logLines() const;
  // Polls the log until it holds `line`; false after `limit`.
  bool WaitForLogLine(std::string_view line, std::chrono::milliseconds limit = 2s) const;
  // nullopt while the file does not exist.
  std::optional<std::string> stateContents() const;
  std::optional<std::vector<std::uint8_t>> programContents() const;

  // Sends `signal` and waits for the board to end (killing it after 5 s,
  // which fails the test). Returns the wait status; later calls return it
  // again without signalling.
  int Stop(int signal = SIGTERM);
  // Waits for the board to end by itself; nullopt when it still runs after
  // `limit`.
  std::optional<int> WaitForExit(std::chrono::milliseconds limit);

 private:
  void Start(const BoardSimSetup& setup);

  std::string folder_;
  std::string logPath_;
  std::string statePath_;
  std::string programPath_;
  std::string device_;
  pid_t pid_ = -1;
  std::optional<int> status_;
  int stdout_ = -1;
};

// Runs the board with `args` (and XDG_CONFIG_HOME set to `configHome` when
// given) until it ends by itself: usage errors, --help, start-up failures.
// A board still running after `limit` is killed and fails the test.
struct SimRun {
  int status = -1;  // wait status
  std::string out;
  std::string err;
};
SimRun RunSimToEnd(const std::vector<std::string>& args, const std::string& configHome = {},
                   std::chrono::milliseconds limit = 5s);

// A raw client of a serial device: open read-write without becoming its
// controlling terminal, every byte passed unchanged.
class RawPort {
 public:
  explicit RawPort(const std::string& device);
  ~RawPort();
  RawPort(const RawPort&) = delete;
  RawPort& operator=(const RawPort&) = delete;

  bool ok() const { return fd_ >= 0; }
  int fd() const { return fd_; }

  bool Write(std::span<const std::uint8_t> bytes);
  // Collects up to `count` bytes; returns what arrived within `limit`.
  std::vector<std::uint8_t> Read(std::size_t count, std::chrono::milliseconds limit);
  // Write, then Read.
  std::vector<std::uint8_t> Exchange(std::span<const std::uint8_t> request, std::size_t replySize,
                                     std::chrono::milliseconds limit = 2s);
  // Drops input that is waiting.
  void Discard();

 private:
  int fd_ = -1;
};

}  // namespace vorna::test
