#pragma once
// vornactl's board: a link to the chosen port whose messages go to stderr,
// counted, and how a command's status text is printed.

#include <csignal>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "cli/vornactl.h"
#include "commands/commands.h"
#include "link/device_link.h"
#include "link/trace_recorder.h"
#include "link/tracing_transport.h"

namespace vorna::cli {

// Prints each message on its own line, in the order they arise; with
// --verbose the system's reason follows, indented. With `trace`, each
// message printed is also recorded there under `tracePort`.
// Once a stop signal came, what fails fails because of it and is not
// reported.
class StderrSink final : public MessageSink {
 public:
  StderrSink(std::ostream& err, bool verbose, const volatile std::sig_atomic_t* stopSignal = nullptr,
             std::shared_ptr<TraceRecorder> trace = nullptr, std::string tracePort = {})
      : err_(err), verbose_(verbose), stop_(stopSignal), trace_(std::move(trace)), tracePort_(std::move(tracePort)) {}
  void Report(std::string_view text, std::string_view reason) override;
  int count() const { return count_; }

 private:
  std::ostream& err_;
  bool verbose_;
  const volatile std::sig_atomic_t* stop_;
  std::shared_ptr<TraceRecorder> trace_;
  std::string tracePort_;
  int count_ = 0;
};

// How a board is named in its lines, its trace records and its JSON: "COM3",
// or the device when it is given by path.
std::string BoardLabel(const PortChoice& port);

// --trace FILE: the board sessions run with `env` are recorded to FILE,
// under the port's label ("COM3", or the device given by path). False when
// FILE cannot be written, which is told on env.err.
bool StartTrace(Environment& env, const std::string& path);

struct Board {
  Board(Environment& env, PortChoice port, bool verbose);
  StderrSink sink;
  std::unique_ptr<Transport> serial;
  std::unique_ptr<TracingTransport> tracer;
  DeviceLink link;
  PortChoice port;
};

// The board's status texts use "\r\n"; a terminal wants "\n".
std::string TerminalLines(std::string text);

// A command's status text (StatusText, LoadStatusText) goes to stdout. After
// a failed write the status starts with the line that says so, and all of it
// goes to stderr, after the messages of each failure: stdout holds only what
// a command that succeeded printed. A command stopped by a signal prints
// nothing more: its failed writes failed because of the stop.
void PrintStatus(Environment& env, const std::optional<std::string>& text, CommandOutcome outcome);

}  // namespace vorna::cli
