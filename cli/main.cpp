#include <iostream>
#ifdef _WIN32
#include <cstdio>
#include <io.h>
#else
#include <signal.h>
#include <unistd.h>

#include <csignal>

#include "link/serial_posix.h"
#endif

#include "cli/vornactl.h"

namespace {

bool StandardErrorIsTerminal() {
#ifdef _WIN32
  return ::_isatty(::_fileno(stderr)) != 0;
#else
  return ::isatty(STDERR_FILENO) == 1;
#endif
}

#ifndef _WIN32
volatile std::sig_atomic_t stopSignal = 0;

extern "C" void RequestStop(int signal) {
  if (stopSignal == 0) stopSignal = signal;
}

// SIGINT, SIGTERM and SIGHUP end the command cleanly: a wait for a reply
// ends at once (no SA_RESTART), the port is closed with its line settings
// put back, and the exit status is 128 + the signal. A second signal of
// the same kind ends the program at once (SA_RESETHAND). A signal the
// caller ignores (nohup) stays ignored.
void StopOnSignals() {
  struct sigaction stop {};
  stop.sa_handler = RequestStop;
  sigemptyset(&stop.sa_mask);
  stop.sa_flags = SA_RESETHAND;
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction previous {};
    if (::sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
    ::sigaction(signal, &stop, nullptr);
  }
}
#endif

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  vorna::cli::Environment env{std::cout, std::cerr, StandardErrorIsTerminal(), {}};
#ifndef _WIN32
  StopOnSignals();
  env.stopSignal = &stopSignal;
  env.makeTransport = [] { return std::make_unique<vorna::PosixSerialTransport>(&stopSignal); };
#endif
  return vorna::cli::Run(args, env);
}
