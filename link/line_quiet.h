#pragma once
// How a transport tells a line that will not go quiet (protocol.h: bytes
// left from an earlier exchange never pass as a reply), in the same words
// on every platform.

#include <cstddef>
#include <string>

#include "link/protocol.h"

namespace vorna {

inline std::string StillSendingAtOpen(std::size_t bytes, long long milliseconds) {
  return "the board is still sending: " + std::to_string(bytes) + " bytes arrived in the " +
         std::to_string(milliseconds) + " ms after the port was opened, without a pause of " +
         std::to_string(LINE_QUIET_AT_OPEN_MS) + " ms";
}

// `goesOn`: the line was still busy when the transport stopped listening.
inline std::string StillSendingAfterReply(std::size_t bytes, long long milliseconds, bool goesOn) {
  return "the board is still sending: " + std::to_string(bytes) + " more bytes came after the reply, within " +
         std::to_string(milliseconds) + " ms" + (goesOn ? ", and more go on coming" : "");
}

}  // namespace vorna
