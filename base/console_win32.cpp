#include "base/console.h"

#include <io.h>
#include <cstdio>

namespace vorna {

bool StandardErrorIsTerminal() { return ::_isatty(::_fileno(stderr)) != 0; }

// Ctrl+C ends the program at once, as it always has here.
const volatile std::sig_atomic_t* StopOnSignals() { return nullptr; }

// A closed standard stream cannot hand its number to a device here.
void KeepStandardStreamsTaken() {}

// There is no file-size signal.
void IgnoreFileSizeSignal() {}

}  // namespace vorna
