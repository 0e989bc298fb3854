#include "link/port_error_posix.h"

#include <cerrno>
#include <cstring>

namespace vorna {

std::string PortErrorReason(int error) {
  switch (error) {
    case ENOENT:
    case ENXIO:
    case ENODEV:
      return "no such device";
    case EACCES:
    case EPERM:
      return "permission denied (add the user to the dialout group, then log in again)";
    case EBUSY:
    case EWOULDBLOCK:
      return "busy: another program has the port open";
    case EIO:
      return "input/output error: the device was unplugged or hung up";
    default:
      return std::strerror(error);
  }
}

}  // namespace vorna
