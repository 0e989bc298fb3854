#pragma once
// Port discovery on Windows, from the system's list of serial ports: the
// values of HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP\SERIALCOMM, each named
// after a device object ("\Device\USBSER000") and holding the port name
// that programs open it by ("COM3"). Nothing is opened to list a port.
//
// The list's reading needs no Windows header, so that it is tested apart
// from the registry.

#include <string>
#include <vector>

#include "link/port_discovery.h"

namespace vorna {

inline constexpr const char* SERIAL_COMM_KEY = "HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM";

struct SerialCommValue {
  std::string name;  // the device object; no program opens a port by it
  std::string data;  // the port name
};

// The ports of the list: device "\\.\<port name>", the port number for a
// name "COMn" as port_names.h maps numbers to names (none for another
// name), by lowest port number then the others by device; a port listed
// twice is one port. The hold is never tried. No USB or driver details:
// the list has none.
std::vector<DiscoveredPort> PortsFromSerialComm(const std::vector<SerialCommValue>& values);

}  // namespace vorna
