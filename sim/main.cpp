// vorna-board-sim: the evaluation board on a pseudo-terminal, for trying the
// tools without hardware and for testing them against a board that
// misbehaves on purpose.

#include <signal.h>

#include <cstdio>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/console.h"
#include "link/port_names.h"
#include "sim/board_runner.h"
#include "sim/event_log.h"
#include "sim/port_alias.h"
#include "sim/pseudo_terminal.h"
#include "sim/sim_options.h"
#include "sim/state_file.h"
#include "sim/trace_replay.h"

namespace vorna::sim {
namespace {

constexpr int EXIT_OK = 0;
constexpr int EXIT_FAILURE_TO_START = 1;
constexpr int EXIT_BAD_USAGE = 2;
constexpr std::string_view PROGRAM_NAME = "vorna-board-sim";

volatile sig_atomic_t stopSignal = 0;
void OnStopSignal(int signal) { stopSignal = signal; }

std::optional<BoardState> LoadState(const std::string& path, EventLog& log) {
  if (path.empty()) return PowerOnState();
  bool missing = false;
  const StateParse parsed = ReadStateFile(path, missing);
  if (missing) {
    log.Write("# no stored defaults in " + path + ": power-on state");
    return PowerOnState();
  }
  if (!parsed.state) {
    std::fprintf(stderr, "%s: %s\n", PROGRAM_NAME.data(), parsed.error.c_str());
    return std::nullopt;
  }
  log.Write("# stored defaults loaded from " + path);
  return parsed.state;
}

int Main(int argc, char** argv) {
  // A closed stdout's number is not handed to the pseudo-terminal; files
  // the board writes beyond a file-size limit fail with a reason.
  KeepStandardStreamsTaken();
  IgnoreFileSizeSignal();
  const std::vector<std::string_view> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  const OptionsParse parse = ParseSimOptions(args);
  if (!parse.error.empty()) {
    std::fprintf(stderr, "%s: %s\nTry '%s --help'.\n", PROGRAM_NAME.data(), parse.error.c_str(), PROGRAM_NAME.data());
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
  std::optional<TraceReplay> replay;
  if (!options.replayPath.empty()) {
    TraceParse trace = ReadTrace(options.replayPath, options.replayPort);
    if (!trace.error.empty()) {
      std::fprintf(stderr, "%s: %s\n", PROGRAM_NAME.data(), trace.error.c_str());
      return EXIT_FAILURE_TO_START;
    }
    log.Write("# replaying " + std::to_string(trace.exchanges.size()) + " exchanges from " + options.replayPath);
    replay.emplace(std::move(trace.exchanges));
  }

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

  BoardRunner runner(options, *initial, *terminal, log, std::move(replay));
  const int signal = runner.Run(waitMask, stopSignal);
  if (signal != 0) log.Write("# stopped by " + std::string(signal == SIGINT ? "SIGINT" : "SIGTERM"));
  log.Flush();
  return EXIT_OK;
}

}  // namespace
}  // namespace vorna::sim

int main(int argc, char** argv) { return vorna::sim::Main(argc, argv); }
