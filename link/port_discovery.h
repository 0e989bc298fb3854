#pragma once
// The serial devices of this machine, and the port number that reaches each
// under the mapping of port_names.h, so that a user can tell which number is
// the board. Discovery only looks: it reads the kernel's device tree and the
// device links, and opens a device read-only, without a controlling terminal,
// only to try its lock. It never writes to a device nor changes its settings.

#include <string>
#include <vector>

#include "link/port_names.h"

namespace vorna {

// Where discovery looks. The defaults are this machine's; tests build a tree
// of their own. Paths under "/dev/" that links name (an alias, a by-id link)
// are read under `dev`; `proc` is read for the list of consoles.
struct DiscoveryRoots {
  std::string sysfs = "/sys";
  std::string dev = "/dev";
  std::string aliasFolder = PortAliasFolder();
  std::string proc = "/proc";
  // Not read by discovery: the board's USB IDs that narrow its choice
  // (board_search.h).
  std::string boardsFile = BoardIdFile();
};

enum class PortHold {
  Free,       // our own trial lock succeeded (and was dropped at once)
  Held,       // another open file holds the device's flock
  Unchecked,  // the device could not be opened to try; see holdReason
};

struct DiscoveredPort {
  std::string device;             // "/dev/ttyACM0"
  std::vector<int> portNumbers;   // the numbers that reach it, ascending
  std::vector<int> aliasNumbers;  // those of them that port aliases give; none on Windows
  std::string vendorId;           // "2fe3", as the device gives it; empty if not USB
  std::string productId;
  std::string manufacturer;  // the device's own strings; empty when it has none
  std::string product;
  std::string serial;
  std::string driver;             // the kernel driver bound to the device
  std::vector<std::string> byId;  // names under /dev/serial/by-id that lead to it
  PortHold hold = PortHold::Unchecked;
  std::string holdReason;
  // Windows: the device object the system lists the port under
  // ("\Device\USBSER000"); the list gives no USB IDs, but a built-in port's
  // object is "\Device\Serial<n>". Empty elsewhere.
  std::string deviceObject = {};
};

// A port alias that leads to no device: a link that dangles, loops, or
// passes through a folder this user may not search.
struct UnfollowedAlias {
  int number = 0;      // the n of COMn
  std::string alias;   // the alias's own path
  std::string reason;  // the system's reason, "Too many levels of symbolic links"
};

struct PortDiscovery {
  std::vector<DiscoveredPort> ports;                    // by lowest port number, then those no number reaches
  std::string error;                                    // set when the device tree could not be read
  std::vector<UnfollowedAlias> unfollowedAliases = {};  // by number; these numbers reach nothing
};

// Whether discovery opens each device to try its lock. Opening a serial
// device raises its DTR and RTS lines, which resets some boards: a window
// that looks again as its user types must not.
enum class HoldCheck {
  TryLock,
  Skip,  // every port is Unchecked, with HOLD_NOT_CHECKED as its reason
};
inline constexpr char HOLD_NOT_CHECKED[] = "not checked";

// Every serial device that has a device node, and every device that only a
// port alias reaches (such as a pseudo-terminal). Built-in serial ports that
// have no UART behind them (no driver, or a port type of 0) are left out, as
// opening them only fails.
PortDiscovery DiscoverPorts(const DiscoveryRoots& roots, HoldCheck holdCheck = HoldCheck::TryLock);

}  // namespace vorna
