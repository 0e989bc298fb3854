#pragma once
// The platform's serial port behind the Transport interface.

#include <csignal>
#include <memory>

#include "link/transport.h"

namespace vorna {

// `stop`, when given, is a flag a signal handler sets: a wait on the port
// then ends early (see base/console.h). Windows has no use for it.
std::unique_ptr<Transport> MakeSystemTransport(const volatile std::sig_atomic_t* stop = nullptr);

}  // namespace vorna
