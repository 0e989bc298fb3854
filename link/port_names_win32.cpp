#include "link/port_names.h"

namespace vorna {

std::vector<std::string> PortCandidates(int portNumber, const std::string&) {
  std::vector<std::string> candidates;
  if (portNumber <= 0) return candidates;
  candidates.push_back(WindowsComDevice(portNumber));
  return candidates;
}

PortLookup LookUpSystemPort(int portNumber) {
  // Windows itself knows which COM ports exist; let the open decide.
  return LookUpPort(portNumber, {}, [](const std::string&) { return true; });
}

}  // namespace vorna
