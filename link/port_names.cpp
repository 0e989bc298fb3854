#include "link/port_names.h"

#include <cstdlib>
#include <string>
#include <sys/stat.h>

namespace vorna {

namespace {
// Searched in this order after the user's alias: USB CDC ACM boards first,
// then USB serial adapters, then built-in UARTs.
constexpr const char* SYSTEM_PORT_PREFIXES[] = {"/dev/ttyACM", "/dev/ttyUSB", "/dev/ttyS"};
}  // namespace

std::vector<std::string> PortCandidates(int portNumber, const std::string& aliasFolder) {
  std::vector<std::string> candidates;
  if (portNumber <= 0) return candidates;
#ifdef _WIN32
  (void)aliasFolder;
  candidates.push_back("\\\\.\\COM" + std::to_string(portNumber));
#else
  if (!aliasFolder.empty()) candidates.push_back(aliasFolder + "/COM" + std::to_string(portNumber));
  for (const char* prefix : SYSTEM_PORT_PREFIXES) candidates.push_back(prefix + std::to_string(portNumber - 1));
#endif
  return candidates;
}

std::string PortAliasFolder() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg != nullptr && xdg[0] == '/') return std::string(xdg) + "/vorna/ports";
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] != '\0') return std::string(home) + "/.config/vorna/ports";
  return {};
}

PortLookup LookUpPort(int portNumber, const std::string& aliasFolder,
                      const std::function<bool(const std::string&)>& exists) {
  if (portNumber <= 0) return {{}, "port numbers start at 1"};
  const auto candidates = PortCandidates(portNumber, aliasFolder);
  for (const auto& candidate : candidates) {
    if (exists(candidate)) return {candidate, {}};
  }
  std::string reason = "no such device; tried";
  for (std::size_t i = 0; i < candidates.size(); ++i) reason += (i == 0 ? " " : ", ") + candidates[i];
  return {{}, reason};
}

PortLookup LookUpSystemPort(int portNumber) {
#ifdef _WIN32
  // Windows itself knows which COM ports exist; let the open decide.
  return LookUpPort(portNumber, {}, [](const std::string&) { return true; });
#else
  return LookUpPort(portNumber, PortAliasFolder(), [](const std::string& path) {
    struct stat info {};
    // A dangling alias counts as existing, so that the open reports why.
    return ::stat(path.c_str(), &info) == 0 || ::lstat(path.c_str(), &info) == 0;
  });
#endif
}

}  // namespace vorna
