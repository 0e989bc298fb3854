#pragma once
// `vornactl ports`: the serial devices, the port number that reaches each,
// their USB identity and whether another program holds them; a table for
// people or a JSON array for scripts.

#include <string>
#include <vector>

#include "cli/vornactl.h"
#include "link/port_discovery.h"

namespace vorna::cli {

// The table's lines, a heading and one per port, without line ends; what
// comes from outside has its control characters escaped.
std::vector<std::string> PortTableLines(const std::vector<DiscoveredPort>& ports);

// Exit 0 once listed, also when there is nothing to list; 1 when the device
// tree could not be read. Under `verbose`, why a device's hold could not be
// tried goes to stderr.
int RunPorts(Environment& env, bool json, bool verbose);

}  // namespace vorna::cli
