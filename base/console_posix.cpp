#include "base/console.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <initializer_list>

namespace vorna {
namespace {

volatile std::sig_atomic_t stopSignal = 0;

extern "C" void RequestStop(int signal) {
  if (stopSignal == 0) stopSignal = signal;
}

}  // namespace

bool StandardErrorIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

// SIGINT, SIGTERM and SIGHUP end the command cleanly: a wait for a reply
// ends at once (no SA_RESTART), the port is closed with its line settings
// put back, and the exit status is 128 + the signal. A second signal of
// the same kind ends the program at once (SA_RESETHAND). A signal the
// caller ignores (nohup) stays ignored.
const volatile std::sig_atomic_t* StopOnSignals() {
  struct sigaction stop {};
  stop.sa_handler = RequestStop;
  sigemptyset(&stop.sa_mask);
  stop.sa_flags = SA_RESETHAND;
  for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
    struct sigaction previous {};
    if (::sigaction(signal, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
    ::sigaction(signal, &stop, nullptr);
  }
  return &stopSignal;
}

void KeepStandardStreamsTaken() {
  for (const int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
    if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    // The lowest free number is the one just found closed.
    const int placeholder = ::open("/dev/null", O_RDONLY);
    if (placeholder >= 0 && placeholder != fd) ::close(placeholder);
  }
}

void IgnoreFileSizeSignal() { ::signal(SIGXFSZ, SIG_IGN); }

}  // namespace vorna
