#pragma once
// What a command-line program needs of its console: whether its messages go
// to a terminal, and signals that end it cleanly.

#include <csignal>

namespace vorna {

// Whether standard error is a terminal.
bool StandardErrorIsTerminal();

// Lets the signals that stop a program ask it to stop instead; the flag
// they set (to the signal's number), which the serial port watches. Null
// where the platform has no such signals.
const volatile std::sig_atomic_t* StopOnSignals();

}  // namespace vorna
