#include "link/port_session.h"

namespace vorna {

PortSession::PortSession(DeviceLink& link, const PortChoice& port) : link_(link), opened_(link.Open(port).ok()) {}

PortSession::~PortSession() { link_.ClosePort(); }

}  // namespace vorna
