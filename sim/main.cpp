// vorna-board-sim: the evaluation board on a pseudo-terminal, for trying the
// tools without hardware and for testing them against a board that
// misbehaves on purpose.

#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <deque>
#include <limits>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "link/file_io.h"
#include "link/port_names.h"
#include "sim/board_protocol.h"
#include "sim/event_log.h"
#include "sim/line_pacer.h"
#include "sim/port_alias.h"
#include "sim/pseudo_terminal.h"
#include "sim/sim_options.h"
#include "sim/state_file.h"

namespace vorna::sim {
namespace {

constexpr int EXIT_OK = 0;
constexpr int EXIT_FAILURE_TO_START = 1;
constexpr int EXIT_BAD_USAGE = 2;
constexpr std::string_view PROGRAM_NAME = "vorna-board-sim";

// A host that stays silent this long in the middle of a frame or a download
// has given up; the board drops what it had so the next session is read
// from a clean start.
constexpr auto INPUT_IDLE_RESET = std::chrono::milliseconds(1000);
// Never a lead byte, nor a reply code the host accepts.
constexpr std::uint8_t BABBLE_BYTES[] = {0x5A, 0xC3, 0x3C};
constexpr std::size_t READ_BUFFER_SIZE = 4096;
// Unplugging drops what the host has not read, so a deliberate hang-up waits
// until the last reply is read: the kernel needs a moment to move sent bytes
// into the device, and a host that does not read within its longest read
// time-out is not waited for.
constexpr auto HANG_UP_SETTLE = std::chrono::milliseconds(10);
constexpr auto HANG_UP_LIMIT = std::chrono::milliseconds(ReadTotalTimeoutMs(REGISTER_SNAPSHOT_SIZE));
constexpr auto HANG_UP_POLL = std::chrono::milliseconds(2);

volatile sig_atomic_t stopSignal = 0;
void OnStopSignal(int signal) { stopSignal = signal; }

struct TimedByte {
  std::uint8_t value;
  Clock::time_point due;
};

class BoardRunner {
 public:
  BoardRunner(const SimOptions& options, const BoardState& initial, PseudoTerminal& terminal, EventLog& log)
      : options_(options),
        protocol_(initial, options.faults),
        terminal_(terminal),
        log_(log),
        incomingLine_(options.baud),
        outgoingLine_(options.baud) {}

  // Serves until a stop signal (then returns that signal's number) or until
  // the board hangs up on purpose (then 0).
  int Run(const sigset_t& waitMask);

 private:
  // `through[i]` is when input byte i of the batch is through the line.
  void Handle(const std::vector<BoardEvent>& events, std::span<const Clock::time_point> through);
  // Writes the files the last requests asked for. Runs after the replies
  // that are due have been sent, so that writing never delays them.
  void WriteFiles();
  void StoreDefaults(const BoardState& state);
  void KeepProgram(std::span<const std::uint8_t> program);
  void Queue(std::span<const std::uint8_t> bytes, Clock::time_point earliest, Clock::duration spacing);
  void CheckIdle(Clock::time_point now);
  void ReadFromHost();
  // False when the device has to hang up now.
  bool SendDue(Clock::time_point now);
  std::optional<Clock::time_point> NextWake() const;
  void HangUp();

  const SimOptions& options_;
  BoardProtocol protocol_;
  PseudoTerminal& terminal_;
  EventLog& log_;
  LinePacer incomingLine_;
  LinePacer outgoingLine_;
  std::deque<TimedByte> outgoing_;
  Clock::time_point lastArrival_ = Clock::now();
  Clock::time_point nextBabble_ = Clock::now() + std::chrono::milliseconds(BABBLE_INTERVAL_MS);
  bool writeBlocked_ = false;
  bool hangUpWhenSent_ = false;
  std::optional<BoardState> pendingStore_;
  std::optional<std::vector<std::uint8_t>> pendingProgram_;
};

void BoardRunner::Handle(const std::vector<BoardEvent>& events, std::span<const Clock::time_point> through) {
  for (const auto& event : events) {
    switch (event.kind) {
      case BoardEvent::Kind::Log:
        log_.Write(event.text);
        break;
      case BoardEvent::Kind::Reply:
        Queue(event.bytes, through.empty() ? Clock::now() : through[event.cause],
              options_.dripMs ? Clock::duration(std::chrono::milliseconds(*options_.dripMs)) : Clock::duration::zero());
        break;
      case BoardEvent::Kind::StoreDefaults:
        pendingStore_ = event.state;
        break;
      case BoardEvent::Kind::ProgramReceived:
        pendingProgram_ = event.bytes;
        break;
      case BoardEvent::Kind::HangUp:
        hangUpWhenSent_ = true;
        break;
    }
  }
}

void BoardRunner::WriteFiles() {
  if (pendingStore_) StoreDefaults(*std::exchange(pendingStore_, std::nullopt));
  if (pendingProgram_) KeepProgram(*std::exchange(pendingProgram_, std::nullopt));
}

void BoardRunner::StoreDefaults(const BoardState& state) {
  if (options_.statePath.empty()) {
    log_.Write("# defaults not kept: no --state file");
    return;
  }
  const std::string text = FormatStateFile(state);
  const std::string error =
      WriteFileAtomically(options_.statePath, {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
  log_.Write(error.empty() ? "# defaults stored in " + options_.statePath : "# defaults not stored: " + error);
}

void BoardRunner::KeepProgram(std::span<const std::uint8_t> program) {
  if (options_.programPath.empty()) {
    log_.Write("# program not kept: no --program-out file");
    return;
  }
  const std::string error = WriteFileAtomically(options_.programPath, program);
  log_.Write(error.empty() ? "# program written to " + options_.programPath : "# program not written: " + error);
}

void BoardRunner::Queue(std::span<const std::uint8_t> bytes, Clock::time_point earliest, Clock::duration spacing) {
  const auto due = outgoingLine_.Schedule(bytes.size(), std::max(earliest, Clock::now()), spacing);
  for (std::size_t i = 0; i < bytes.size(); ++i) outgoing_.push_back({bytes[i], due[i]});
}

void BoardRunner::CheckIdle(Clock::time_point now) {
  if (protocol_.AwaitingMore() && now - lastArrival_ >= INPUT_IDLE_RESET) Handle(protocol_.InputIdle(), {});
}

void BoardRunner::ReadFromHost() {
  // One read per wake-up: whatever is left makes the next wait return at
  // once, and an exchange costs no extra call.
  std::uint8_t buffer[READ_BUFFER_SIZE];
  const ssize_t n = ::read(terminal_.master(), buffer, sizeof buffer);
  if (n <= 0) return;
  // The board works ahead on what it read, but every reply waits until the
  // byte that asked for it would have crossed the line.
  const auto through = incomingLine_.Schedule(static_cast<std::size_t>(n), Clock::now());
  lastArrival_ = through.back();
  Handle(protocol_.Feed({buffer, static_cast<std::size_t>(n)}), through);
}

bool BoardRunner::SendDue(Clock::time_point now) {
  while (!writeBlocked_ && !outgoing_.empty() && outgoing_.front().due <= now) {
    std::vector<std::uint8_t> batch;
    for (auto it = outgoing_.begin(); it != outgoing_.end() && it->due <= now; ++it) batch.push_back(it->value);
    const ssize_t n = ::write(terminal_.master(), batch.data(), batch.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      // The host is not reading and the device's input queue is full.
      writeBlocked_ = true;
      break;
    }
    if (n < 0) {
      log_.Write(std::string("# send failed: ") + std::strerror(errno) + ", " + std::to_string(batch.size()) +
                 " bytes dropped");
      outgoing_.erase(outgoing_.begin(), outgoing_.begin() + static_cast<std::ptrdiff_t>(batch.size()));
      continue;
    }
    outgoing_.erase(outgoing_.begin(), outgoing_.begin() + n);
  }
  return !(hangUpWhenSent_ && outgoing_.empty());
}

std::optional<Clock::time_point> BoardRunner::NextWake() const {
  std::optional<Clock::time_point> wake;
  auto consider = [&wake](Clock::time_point at) {
    if (!wake || at < *wake) wake = at;
  };
  if (!outgoing_.empty() && !writeBlocked_) consider(outgoing_.front().due);
  if (protocol_.AwaitingMore()) consider(lastArrival_ + INPUT_IDLE_RESET);
  if (options_.babble && !options_.faults.mute) consider(nextBabble_);
  return wake;
}

void BoardRunner::HangUp() {
  const auto settled = Clock::now() + HANG_UP_SETTLE;
  const auto limit = Clock::now() + HANG_UP_LIMIT;
  while (Clock::now() < limit && (Clock::now() < settled || terminal_.UnreadByHost() > 0)) {
    std::this_thread::sleep_for(HANG_UP_POLL);
  }
  terminal_.HangUp();
  log_.Write("# hung up");
  log_.Flush();
}

int BoardRunner::Run(const sigset_t& waitMask) {
  while (stopSignal == 0) {
    const auto now = Clock::now();
    CheckIdle(now);
    if (options_.babble && !options_.faults.mute && now >= nextBabble_) {
      // Only into silence: the babble never splits a reply.
      if (outgoing_.empty() && !hangUpWhenSent_) Queue(BABBLE_BYTES, now, Clock::duration::zero());
      nextBabble_ = now + std::chrono::milliseconds(BABBLE_INTERVAL_MS);
    }
    // The log has every line of a request, and the state or program file
    // its command produced, before its reply can arrive: a host that reads
    // the reply may look at them at once.
    log_.Flush();
    WriteFiles();
    const bool keepServing = SendDue(Clock::now());
    if (!keepServing) {
      HangUp();
      return 0;
    }

    pollfd master{terminal_.master(), static_cast<short>(POLLIN | (writeBlocked_ ? POLLOUT : 0)), 0};
    timespec timeout{};
    const timespec* timeoutPointer = nullptr;
    if (const auto wake = NextWake()) {
      const auto left = std::max(Clock::duration::zero(), *wake - Clock::now());
      const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(left);
      timeout.tv_sec = static_cast<time_t>(seconds.count());
      timeout.tv_nsec = static_cast<long>(std::chrono::duration_cast<std::chrono::nanoseconds>(left - seconds).count());
      timeoutPointer = &timeout;
    }
    log_.Flush();
    // Stop signals are blocked everywhere but here, so none slips in
    // between the check above and the wait.
    if (::ppoll(&master, 1, timeoutPointer, &waitMask) < 0) continue;
    if ((master.revents & POLLOUT) != 0) writeBlocked_ = false;
    if ((master.revents & POLLIN) != 0) ReadFromHost();
  }
  WriteFiles();
  return stopSignal;
}

std::optional<BoardState> LoadState(const std::string& path, EventLog& log) {
  if (path.empty()) return PowerOnState();
  ReadFailure failure;
  const auto text = ReadWholeFile(path, std::numeric_limits<std::size_t>::max(), FileKinds::kAny, &failure);
  if (!text) {
    if (failure.error == ENOENT) {
      log.Write("# no stored defaults in " + path + ": power-on state");
      return PowerOnState();
    }
    std::fprintf(stderr, "%s: cannot read %s: %s\n", PROGRAM_NAME.data(), path.c_str(),
                 std::strerror(failure.error));
    return std::nullopt;
  }
  const auto parsed = ParseStateFile(*text);
  if (!parsed.state) {
    std::fprintf(stderr, "%s: %s: %s\n", PROGRAM_NAME.data(), path.c_str(), parsed.error.c_str());
    return std::nullopt;
  }
  log.Write("# stored defaults loaded from " + path);
  return parsed.state;
}

int Main(int argc, char** argv) {
  const std::vector<std::string_view> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  const OptionsParse parse = ParseSimOptions(args);
  if (!parse.error.empty()) {
    std::fprintf(stderr, "%s: %s\nTry '%s --help'.\n", PROGRAM_NAME.data(), parse.error.c_str(),
                 PROGRAM_NAME.data());
    return EXIT_BAD_USAGE;
  }
  if (parse.help) {
    std::fputs(UsageText(PROGRAM_NAME).c_str(), stdout);
    return EXIT_OK;
  }
  if (parse.version) {
    std::fputs(VersionText(PROGRAM_NAME).c_str(), stdout);
    return EXIT_OK;
  }
  const SimOptions& options = parse.options;

  EventLog log;
  if (!options.logPath.empty()) {
    if (const std::string error = log.Open(options.logPath); !error.empty()) {
      std::fprintf(stderr, "%s: %s\n", PROGRAM_NAME.data(), error.c_str());
      return EXIT_FAILURE_TO_START;
    }
  }
  const auto initial = LoadState(options.statePath, log);
  if (!initial) return EXIT_FAILURE_TO_START;

  std::string error;
  auto terminal = PseudoTerminal::Open(error);
  if (!terminal) {
    std::fprintf(stderr, "%s: %s\n", PROGRAM_NAME.data(), error.c_str());
    return EXIT_FAILURE_TO_START;
  }
  const auto alias = options.comPort
                        ? PortAlias::Create(PortAliasFolder(), *options.comPort, terminal->slavePath(), error)
                        : std::optional<PortAlias>();
  if (options.comPort && !alias) {
    std::fprintf(stderr, "%s: %s\n", PROGRAM_NAME.data(), error.c_str());
    return EXIT_FAILURE_TO_START;
  }
  if (alias) log.Write("# published as " + alias->path());

  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  sigset_t waitMask;
  sigprocmask(SIG_BLOCK, &stopSignals, &waitMask);
  sigdelset(&waitMask, SIGINT);
  sigdelset(&waitMask, SIGTERM);
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);

  log.Write("# serving " + terminal->slavePath());
  log.Flush();
  std::printf("%s\n", terminal->slavePath().c_str());
  std::fflush(stdout);

  BoardRunner runner(options, *initial, *terminal, log);
  const int signal = runner.Run(waitMask);
  if (signal != 0) log.Write("# stopped by " + std::string(signal == SIGINT ? "SIGINT" : "SIGTERM"));
  log.Flush();
  return EXIT_OK;
}

}  // namespace
}  // namespace vorna::sim

int main(int argc, char** argv) { return vorna::sim::Main(argc, argv); }
