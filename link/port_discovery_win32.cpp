#include "link/port_discovery.h"

namespace vorna {

// Windows names its ports itself (COMn is \\.\COMn); nothing here lists them.
PortDiscovery DiscoverPorts(const DiscoveryRoots&, HoldCheck) {
  return {{}, "listing the serial ports is not available on Windows"};
}

}  // namespace vorna
