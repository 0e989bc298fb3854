#pragma once
// What a system error number means for a serial port, in the words a user
// can act on; the system's own text for the others.

#include <string>

namespace vorna {

std::string PortErrorReason(int error);

}  // namespace vorna
