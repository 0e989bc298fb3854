#include "link/port_names.h"

#include <filesystem>
#include <string>
#include <system_error>

#include "base/config_folder.h"

namespace vorna {

namespace {
constexpr const char* PORT_ALIAS_FOLDER = "ports";
constexpr const char* BOARD_ID_FILE = "boards";

std::string InConfigFolder(const char* name) {
  const std::string config = UserConfigFolder();
  return config.empty() ? std::string() : JoinPath(config, name);
}
}  // namespace

std::string PortAliasFolder() { return InConfigFolder(PORT_ALIAS_FOLDER); }

std::string BoardIdFile() { return InConfigFolder(BOARD_ID_FILE); }

std::string WindowsComDevice(int portNumber) { return "\\\\.\\COM" + std::to_string(portNumber); }

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

std::string PortLabel(int portNumber, const PortLookup& lookup) {
  const std::string port = "COM" + std::to_string(portNumber);
  // Windows' own name of port n says no more than the number.
  if (lookup.device.empty() || lookup.device == WindowsComDevice(portNumber)) return port;
  std::error_code error;
  std::string device = lookup.device;
  // A link that leads nowhere is named as it is.
  if (std::filesystem::is_symlink(device, error)) {
    const std::filesystem::path target = std::filesystem::canonical(device, error);
    if (!error) device = target.string();
  }
  return port + " (" + device + ")";
}

}  // namespace vorna
