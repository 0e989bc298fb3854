#include "cli/board.h"

#include "base/quoted_text.h"
#include "link/system_transport.h"

namespace vorna::cli {

void StderrSink::Report(std::string_view text, std::string_view reason) {
  ++count_;
  if (stop_ != nullptr && *stop_ != 0) return;
  err_ << EscapeControls(text) << '\n';
  if (verbose_ && !reason.empty()) err_ << "  (" << EscapeControls(reason) << ")\n";
  err_.flush();
}

Board::Board(Environment& env, PortChoice port, bool verbose)
    : sink(env.err, verbose, env.stopSignal),
      serial(env.makeTransport ? env.makeTransport() : MakeSystemTransport()),
      tracer(verbose ? std::make_unique<TracingTransport>(*serial, env.err) : nullptr),
      link(tracer ? static_cast<Transport&>(*tracer) : *serial, sink),
      port(std::move(port)) {}

std::string TerminalLines(std::string text) {
  std::string::size_type at = 0;
  while ((at = text.find("\r\n", at)) != std::string::npos) text.erase(at, 1);
  return text;
}

void PrintStatus(Environment& env, const std::optional<std::string>& text, CommandOutcome outcome) {
  if (!text || (env.stopSignal != nullptr && *env.stopSignal != 0)) return;
  (outcome == CommandOutcome::WriteFailed ? env.err : env.out) << TerminalLines(*text) << '\n';
}

}  // namespace vorna::cli
