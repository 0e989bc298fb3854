#include "cli/board.h"

#include "base/quoted_text.h"
#include "link/system_transport.h"
#include "vorna_version.h"

namespace vorna::cli {

namespace {

std::unique_ptr<Transport> BoardTransport(Environment& env, const PortChoice& port) {
  auto transport = env.makeTransport ? env.makeTransport() : MakeSystemTransport();
  if (!env.trace) return transport;
  return std::make_unique<RecordingTransport>(std::move(transport), env.trace, BoardLabel(port));
}

}  // namespace

std::string BoardLabel(const PortChoice& port) {
  return port.devicePath.empty() ? "COM" + std::to_string(port.number) : port.devicePath;
}

void StderrSink::Report(std::string_view text, std::string_view reason) {
  ++count_;
  if (stop_ != nullptr && *stop_ != 0) return;
  if (trace_) trace_->Message(tracePort_, text, reason);
  err_ << EscapeControls(text) << '\n';
  if (verbose_ && !reason.empty()) err_ << "  (" << EscapeControls(reason) << ")\n";
  err_.flush();
}

bool StartTrace(Environment& env, const std::string& path) {
  TraceCreation created = TraceRecorder::Create(path, std::string("vornactl ") + VORNA_VERSION);
  if (!created.recorder) {
    PrintError(env.err, "cannot write the trace " + path + ": " + created.reason);
    return false;
  }
  env.trace = std::move(created.recorder);
  return true;
}

Board::Board(Environment& env, PortChoice port, bool verbose)
    : sink(env.err, verbose, env.stopSignal, env.trace, BoardLabel(port)),
      serial(BoardTransport(env, port)),
      tracer(verbose ? std::make_unique<TracingTransport>(*serial, env.err) : nullptr),
      link(tracer ? static_cast<Transport&>(*tracer) : *serial, sink),
      port(std::move(port)) {}

std::string TerminalLines(std::string text) {
  std::string::size_type at = 0;
  while ((at = text.find("\r\n", at)) != std::string::npos) text.erase(at, 1);
  return text;
}

void PrintStatus(Environment& env, const std::optional<std::string>& text, CommandOutcome outcome) {
  if (!text || StopRequested(env)) return;
  (outcome == CommandOutcome::WriteFailed ? env.err : env.out) << TerminalLines(*text) << '\n';
}

}  // namespace vorna::cli
