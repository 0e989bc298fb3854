#pragma once
// The platform's serial port behind the Transport interface.

#include <memory>

#include "link/transport.h"

namespace vorna {

std::unique_ptr<Transport> MakeSystemTransport();

}  // namespace vorna
