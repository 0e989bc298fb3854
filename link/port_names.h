#pragma once
// Mapping of a port number to a device. On Windows port n is "\\.\COMn". On
// POSIX systems port n is the first of these that exists:
//   <alias folder>/COMn   (a symbolic link to any device; the folder is
//                          $XDG_CONFIG_HOME/vorna/ports, default
//                          ~/.config/vorna/ports)
//   /dev/ttyACM<n-1>, /dev/ttyUSB<n-1>, /dev/ttyS<n-1>
// A number of 0 or below names no device.

#include <functional>
#include <string>
#include <vector>

namespace vorna {

struct PortLookup {
  std::string device;  // empty when nothing exists for the number
  std::string reason;  // why nothing was found, for verbose reports
};

// Every device path tried for `portNumber`, in order.
std::vector<std::string> PortCandidates(int portNumber, const std::string& aliasFolder);

// The port-alias folder from the environment (XDG_CONFIG_HOME, HOME).
std::string PortAliasFolder();

// The file of the board's USB IDs, beside the alias folder; empty when the
// environment names no configuration folder.
std::string BoardIdFile();

// The first candidate for which `exists` holds.
PortLookup LookUpPort(int portNumber, const std::string& aliasFolder,
                      const std::function<bool(const std::string&)>& exists);

// "\\.\COMn": Windows' own name of port n.
std::string WindowsComDevice(int portNumber);

// The platform's own mapping, looking at the file system.
PortLookup LookUpSystemPort(int portNumber);

// How a user knows the port: "COM1 (/dev/ttyACM0)", with the device an
// alias (a symbolic link) leads to rather than the alias; "COM5" when
// nothing was found for the number or the device is Windows' own "\\.\COM5".
std::string PortLabel(int portNumber, const PortLookup& lookup);

// How DeviceLink turns a port number into a device.
using PortResolver = std::function<PortLookup(int portNumber)>;

}  // namespace vorna
