#pragma once
// What a port number reaches, in words, for the COM Port dialog: the line
// under its box and the numbers its list marks.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "link/port_discovery.h"

namespace vorna {

// The number the COM Port dialog's OK would set from `text`, read as
// ApplyComPortText reads it; nullopt when OK would keep the number as it is.
std::optional<std::int32_t> PortNumberOfText(std::string_view text);

// "COM3 → /dev/ttyACM2, FM Eval Board (2fe3:0100, serial VB000123)", with
// whatever the device does not tell left out, or "COM3: nothing at this
// number" when no device that `discovery` found is reached by `number`.
std::string DescribePortNumber(std::int32_t number, const PortDiscovery& discovery);

// The numbers that reach a device, ascending, each once.
std::vector<std::int32_t> NumbersReachingDevices(const PortDiscovery& discovery);

}  // namespace vorna
