#pragma once
// `vornactl ports`: the serial devices, the port number that reaches each,
// their USB identity and whether another program holds them; a table for
// people or a JSON array for scripts.

#include "cli/vornactl.h"

namespace vorna::cli {

// Exit 0 once listed, also when there is nothing to list; 1 when the device
// tree could not be read. Under `verbose`, why a device's hold could not be
// tried goes to stderr.
int RunPorts(Environment& env, bool json, bool verbose);

}  // namespace vorna::cli
