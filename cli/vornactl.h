#pragma once
// vornactl: the board commands from a shell. Kept apart from main() so that
// tests and fuzzers run the same argument handling in-process.

#include <csignal>
#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "link/port_discovery.h"
#include "link/transport.h"

namespace vorna {
class TraceRecorder;
}  // namespace vorna

namespace vorna::cli {

inline constexpr int EXIT_OK = 0;
inline constexpr int EXIT_FAILED = 1;
inline constexpr int EXIT_USAGE = 2;
// A command stopped by a signal exits with this plus the signal's number, as
// a shell reports a program the signal ended.
inline constexpr int EXIT_SIGNAL_BASE = 128;

// How a board command ends: EXIT_OK only when it succeeded and reported no
// message.
inline int BoardCommandExit(bool succeeded, int messagesReported) {
  return succeeded && messagesReported == 0 ? EXIT_OK : EXIT_FAILED;
}

struct Environment {
  std::ostream& out;
  std::ostream& err;
  // Whether progress may be drawn on `err` (a terminal).
  bool errIsTerminal = false;
  // Makes the transport for the board; by default the platform's serial port.
  std::function<std::unique_ptr<Transport>()> makeTransport;
  // Set to a signal's number by the program's handler of SIGINT, SIGTERM
  // and SIGHUP; the command then ends early and cleanly (the transport
  // must watch it too), prints nothing more, and Run returns 128 + the
  // signal's number.
  const volatile std::sig_atomic_t* stopSignal = nullptr;
  // Where `ports` looks for serial devices; by default this machine.
  DiscoveryRoots portRoots{};
  // The process's environment variables (VORNA_PORT, VORNA_BOARD_IDS);
  // without it none is set, so that tests see none of the machine's.
  std::function<std::optional<std::string>(const char* name)> variable{};
  // Where the board sessions are recorded (--trace); none: not recorded.
  std::shared_ptr<TraceRecorder> trace{};
};

// Whether a stop signal has come: the command then ends and prints nothing
// more.
inline bool StopRequested(const Environment& env) { return env.stopSignal != nullptr && *env.stopSignal != 0; }

// "vornactl: TEXT" on its own line, control characters shown as \xNN: the
// way every error of vornactl's own is printed.
void PrintError(std::ostream& err, std::string_view text);

// `args` excludes the program name. Returns the exit status. Output that
// could not be written (env.out or env.err failed) makes it a failure; the
// reason for env.out is told on env.err.
int Run(const std::vector<std::string>& args, Environment& env);

// The same with a parser built once: each Run reads its arguments as a
// fresh process would, whatever the runs before read. Building the parser
// costs far more than reading a command line, which tells for callers that
// run many (the fuzzer).
class CommandLine {
 public:
  CommandLine();
  ~CommandLine();
  CommandLine(const CommandLine&) = delete;
  CommandLine& operator=(const CommandLine&) = delete;

  int Run(const std::vector<std::string>& args, Environment& env);

 private:
  static constexpr unsigned LINES_PER_PARSER = 4096;
  struct Parser;
  int RunParsed(const std::vector<std::string>& args, Environment& env);
  std::unique_ptr<Parser> parser_;
  unsigned lines_ = 0;
};

}  // namespace vorna::cli
