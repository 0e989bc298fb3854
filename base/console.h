#pragma once
// What a command-line program needs of its console: whether its messages go
// to a terminal, signals that end it cleanly, and standard streams and
// files whose failures are reported rather than fatal or misdirected.

#include <csignal>

namespace vorna {

// Whether standard error is a terminal.
bool StandardErrorIsTerminal();

// Lets the signals that stop a program ask it to stop instead; the flag
// they set (to the signal's number), which the serial port watches. Null
// where the platform has no such signals.
const volatile std::sig_atomic_t* StopOnSignals();

// Puts /dev/null, opened read-only, in place of a standard stream that was
// closed (">&-"): no file or device the program opens later can take its
// number and receive what was meant for the stream, and a write to it
// fails (EBADF) as it would have. Nothing where all three are open.
void KeepStandardStreamsTaken();

// A write beyond the file-size limit (ulimit -f) then fails with EFBIG,
// which the program reports and cleans up after, instead of ending it by
// SIGXFSZ with a temporary file left behind.
void IgnoreFileSizeSignal();

}  // namespace vorna
