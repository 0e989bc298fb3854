#pragma once
// What a system error number means for a serial port, in the words a user
// can act on; the system's own text for the others.

#include <sys/stat.h>

#include <string>

namespace vorna {

std::string PortErrorReason(int error);

// Who a device lets read and write it, as far as a refused open concerns
// the process.
struct DeviceAccess {
  std::string owner;         // user name, or the number when it has none
  std::string group;         // likewise
  unsigned mode = 0;         // the permission bits
  bool rootGroup = false;    // group 0: joining it is no advice to give
  bool ownedByUser = false;  // the process owns it: the owner's bits apply
  bool inGroup = false;      // the process already has the group
};

// A refused open: "permission denied" with the group to join when that
// group may read and write the device and joining it would let the process
// in; otherwise with the owner, group and mode, which say who may.
std::string PermissionDeniedReason(const DeviceAccess& access);

// The same for a device as stat saw it, with the process's own identity.
std::string PermissionDeniedReason(const struct stat& device);

}  // namespace vorna
