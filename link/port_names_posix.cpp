#include <sys/stat.h>

#include "link/port_names.h"

namespace vorna {

namespace {
// Searched in this order after the user's alias: USB CDC ACM boards first,
// then USB serial adapters, then built-in UARTs.
constexpr const char* SYSTEM_PORT_PREFIXES[] = {"/dev/ttyACM", "/dev/ttyUSB", "/dev/ttyS"};
}  // namespace

std::vector<std::string> PortCandidates(int portNumber, const std::string& aliasFolder) {
  std::vector<std::string> candidates;
  if (portNumber <= 0) return candidates;
  if (!aliasFolder.empty()) candidates.push_back(aliasFolder + "/COM" + std::to_string(portNumber));
  for (const char* prefix : SYSTEM_PORT_PREFIXES) candidates.push_back(prefix + std::to_string(portNumber - 1));
  return candidates;
}

PortLookup LookUpSystemPort(int portNumber) {
  return LookUpPort(portNumber, PortAliasFolder(), [](const std::string& path) {
    struct stat info {};
    // A dangling alias counts as existing, so that the open reports why.
    return ::stat(path.c_str(), &info) == 0 || ::lstat(path.c_str(), &info) == 0;
  });
}

}  // namespace vorna
