#pragma once
// The port open for one scope: every command opens its port through a
// session and is done with it when the session ends, on every way out
// (a return, a failure, an exception), so no port stays open between
// commands or while a dialog is up.

#include "link/device_link.h"

namespace vorna {

class PortSession {
 public:
  // Opens what `port` names through `link`, which reports a failure to its
  // sink ("Can not open ...").
  PortSession(DeviceLink& link, const PortChoice& port);
  // Closes the port, its line settings put back as they were before the open.
  ~PortSession();
  PortSession(const PortSession&) = delete;
  PortSession& operator=(const PortSession&) = delete;

  // Whether the port opened.
  explicit operator bool() const { return opened_; }

 private:
  DeviceLink& link_;
  bool opened_;
};

}  // namespace vorna
