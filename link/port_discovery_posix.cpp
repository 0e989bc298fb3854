#include "link/port_discovery.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <filesystem>
#include <map>
#include <set>
#include <string_view>
#include <system_error>
#include <tuple>

#include "link/port_error_posix.h"
#include "link/terminal_guard_posix.h"

namespace vorna {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view DEV_PREFIX = "/dev";
// As the kernel, give up on a chain of links this long: it is a loop.
constexpr int MAX_LINK_HOPS = 40;
// Numbers above this are never tried, whatever a device is called.
constexpr int HIGHEST_PORT_NUMBER = 10000;
// An attribute longer than this is not one of the short texts read here.
constexpr std::size_t MAX_ATTRIBUTE_SIZE = 4096;
// "Port type unknown" of the serial core: a built-in port with no UART.
constexpr std::string_view NO_UART_TYPE = "0";
constexpr std::string_view SERIAL_CORE_BUS = "serial-base";

// Where a path as the system names it ("/dev/ttyACM0") lies under the roots.
std::string RealPath(const DiscoveryRoots& roots, const std::string& path) {
  const std::string_view view(path);
  if (view == DEV_PREFIX) return roots.dev;
  if (view.substr(0, DEV_PREFIX.size() + 1) == "/dev/") return roots.dev + path.substr(DEV_PREFIX.size());
  return path;
}

bool Exists(const DiscoveryRoots& roots, const std::string& path) {
  struct stat info {};
  // As the port mapping: a dangling link still counts.
  return ::lstat(RealPath(roots, path).c_str(), &info) == 0;
}

// The entries of `folder`, read without throwing; `error` tells why the
// list may be short.
std::vector<fs::path> FolderEntries(const fs::path& folder, std::error_code& error) {
  std::vector<fs::path> entries;
  for (fs::directory_iterator at(folder, error), end; !error && at != end; at.increment(error))
    entries.push_back(at->path());
  return entries;
}

// Where a path leads once the links of its last component are followed as
// the system would, in the names of the system, so that an alias, a by-id
// link and a device node can be compared; and the system's reason when it
// leads nowhere (a dangling link, a loop, a folder this user may not search).
struct FollowedPath {
  std::string path;
  std::string failure;  // empty when `path` exists
};

FollowedPath Follow(const DiscoveryRoots& roots, std::string path) {
  const auto result = [&path](int error) {
    return FollowedPath{fs::path(path).lexically_normal().string(),
                        error == 0 ? std::string() : std::generic_category().message(error)};
  };
  for (int hop = 0; hop <= MAX_LINK_HOPS; ++hop) {
    const std::string real = RealPath(roots, path);
    struct stat info {};
    if (::lstat(real.c_str(), &info) != 0) return result(errno);
    if (!S_ISLNK(info.st_mode)) return result(0);
    std::error_code error;
    const fs::path target = fs::read_symlink(real, error);
    if (error) return result(error.value());
    path = (target.is_absolute() ? target : fs::path(path).parent_path() / target).lexically_normal().string();
  }
  return result(ELOOP);
}

// A short text attribute without its line end; empty when absent or unreadable.
std::string ReadAttribute(const fs::path& file) {
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return {};
  std::string text(MAX_ATTRIBUTE_SIZE, '\0');
  std::size_t used = 0;
  while (used < text.size()) {
    const ssize_t n = ::read(fd, text.data() + used, text.size() - used);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    used += static_cast<std::size_t>(n);
  }
  ::close(fd);
  text.resize(used);
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
  return text;
}

// The driver bound to a tty's device. Since Linux 6.5 a built-in port is a
// device of the serial core's own bus, whose drivers ("port", "ctrl") say
// nothing: the driver of the controller above them is the one named.
std::string DriverName(const fs::path& deviceLink) {
  std::error_code error;
  for (fs::path at = fs::canonical(deviceLink, error); !error && at.has_relative_path(); at = at.parent_path()) {
    const fs::path driver = fs::canonical(at / "driver", error);
    if (error) break;
    if (driver.parent_path().parent_path().filename() != SERIAL_CORE_BUS) return driver.filename().string();
  }
  return {};
}

// The USB device above a tty's device, looked for no higher than the root:
// for a CDC ACM port the tty's device is the interface, for a USB serial
// adapter a port below the interface.
void ReadUsbAttributes(const fs::path& sysfsRoot, const fs::path& deviceLink, DiscoveredPort& port) {
  std::error_code error;
  const fs::path root = fs::canonical(sysfsRoot, error);
  if (error) return;
  fs::path at = fs::canonical(deviceLink, error);
  if (error) return;
  const std::string rootText = root.string() + "/";
  while (at.string().rfind(rootText, 0) == 0) {
    if (fs::exists(at / "idVendor", error) && fs::exists(at / "idProduct", error)) {
      port.vendorId = ReadAttribute(at / "idVendor");
      port.productId = ReadAttribute(at / "idProduct");
      port.manufacturer = ReadAttribute(at / "manufacturer");
      port.product = ReadAttribute(at / "product");
      port.serial = ReadAttribute(at / "serial");
      return;
    }
    at = at.parent_path();
  }
}

// The number at the end of a device's name: how far the numbers of the port
// mapping need to be tried.
int TrailingNumber(const std::string& name) {
  std::size_t start = name.size();
  while (start > 0 && std::isdigit(static_cast<unsigned char>(name[start - 1]))) --start;
  if (start == name.size() || name.size() - start > 5) return 0;
  return std::stoi(name.substr(start));
}

// "COM20" -> 20, exactly as the mapping names an alias; 0 for anything else.
int AliasNumber(const std::string& name) {
  if (name.rfind("COM", 0) != 0 || name.size() > 8) return 0;
  const std::string digits = name.substr(3);
  if (digits.empty() || !std::all_of(digits.begin(), digits.end(), [](unsigned char c) { return std::isdigit(c); }))
    return 0;
  const int number = std::stoi(digits);
  return "COM" + std::to_string(number) == name ? number : 0;
}

void CheckHold(const DiscoveryRoots& roots, DiscoveredPort& port) {
  // Read-only and without a controlling terminal: the open sends nothing and
  // takes nothing over; the trial lock ends with the close.
  const std::string path = RealPath(roots, port.device);
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    const int error = errno;
    struct stat device {};
    port.hold = PortHold::Unchecked;
    port.holdReason = (error == EACCES || error == EPERM) && ::stat(path.c_str(), &device) == 0
                          ? PermissionDeniedReason(device)
                          : PortErrorReason(error);
    return;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
    port.hold = PortHold::Free;
  } else if (errno == EWOULDBLOCK) {
    port.hold = PortHold::Held;
  } else {
    port.hold = PortHold::Unchecked;
    port.holdReason = PortErrorReason(errno);
  }
  ::close(fd);
}

// ttyACM2 before ttyACM10; then by name.
std::tuple<std::string, int, std::string> NaturalKey(const std::string& device) {
  std::size_t start = device.size();
  while (start > 0 && std::isdigit(static_cast<unsigned char>(device[start - 1]))) --start;
  return {device.substr(0, start), TrailingNumber(device), device};
}

}  // namespace

PortDiscovery DiscoverPorts(const DiscoveryRoots& roots, HoldCheck holdCheck) {
  PortDiscovery discovery;
  const fs::path ttyClass = fs::path(roots.sysfs) / "class" / "tty";
  std::error_code error;
  const std::vector<fs::path> entries = FolderEntries(ttyClass, error);
  if (error) {
    discovery.error = "cannot read " + ttyClass.string() + ": " + error.message();
    return discovery;
  }

  const SystemFolders systemFolders{roots.sysfs, roots.proc};
  const std::set<dev_t> consoles = ConsoleDevices(systemFolders);
  std::map<std::string, std::size_t> byResolvedPath;
  int highest = 0;
  for (const fs::path& entry : entries) {
    const std::string name = entry.filename().string();
    const fs::path deviceLink = entry / "device";
    std::error_code ignored;
    // A tty without a device (a console, a pseudo-terminal) is no serial port.
    if (!fs::exists(deviceLink, ignored)) continue;
    DiscoveredPort port;
    port.device = std::string(DEV_PREFIX) + "/" + name;
    if (!Exists(roots, port.device)) continue;
    port.driver = DriverName(deviceLink);
    if (port.driver.empty() || ReadAttribute(entry / "type") == NO_UART_TYPE) continue;
    // A serial port that is the kernel's console is a person's terminal; it
    // is never opened as a board either.
    if (const auto number = TtyDeviceNumber(name, systemFolders); number && consoles.contains(*number)) continue;
    ReadUsbAttributes(roots.sysfs, deviceLink, port);
    highest = std::max(highest, TrailingNumber(name) + 1);
    byResolvedPath[Follow(roots, port.device).path] = discovery.ports.size();
    discovery.ports.push_back(std::move(port));
  }

  const std::string byIdFolder = std::string(DEV_PREFIX) + "/serial/by-id";
  std::error_code byIdError;
  for (const fs::path& entry : FolderEntries(RealPath(roots, byIdFolder), byIdError)) {
    const std::string name = entry.filename().string();
    const auto found = byResolvedPath.find(Follow(roots, byIdFolder + "/" + name).path);
    if (found != byResolvedPath.end()) discovery.ports[found->second].byId.push_back(name);
  }

  std::set<int> numbers;
  for (int number = 1; number <= std::min(highest, HIGHEST_PORT_NUMBER); ++number) numbers.insert(number);
  if (!roots.aliasFolder.empty()) {
    std::error_code aliasError;
    for (const fs::path& entry : FolderEntries(roots.aliasFolder, aliasError))
      if (const int number = AliasNumber(entry.filename().string()); number > 0) numbers.insert(number);
  }
  const auto exists = [&](const std::string& path) { return Exists(roots, path); };
  for (const int number : numbers) {
    const PortLookup lookup = LookUpPort(number, roots.aliasFolder, exists);
    if (lookup.device.empty()) continue;
    const bool alias = !roots.aliasFolder.empty() && lookup.device.rfind(roots.aliasFolder, 0) == 0;
    const FollowedPath followed = Follow(roots, lookup.device);
    // An alias that leads nowhere opens nothing: it is left out, and why is
    // told, as its number then reaches no device at all.
    if (alias && !followed.failure.empty()) {
      discovery.unfollowedAliases.push_back({number, lookup.device, followed.failure});
      continue;
    }
    const std::string& target = followed.path;
    auto found = byResolvedPath.find(target);
    // An alias may lead to a device the kernel lists as no serial port, such
    // as the pseudo-terminal of the virtual board: the number still opens it.
    if (found == byResolvedPath.end() && alias) {
      DiscoveredPort port;
      port.device = target;
      found = byResolvedPath.emplace(target, discovery.ports.size()).first;
      discovery.ports.push_back(std::move(port));
    }
    if (found == byResolvedPath.end()) continue;
    discovery.ports[found->second].portNumbers.push_back(number);
    if (alias) discovery.ports[found->second].aliasNumbers.push_back(number);
  }

  for (auto& port : discovery.ports) {
    std::sort(port.byId.begin(), port.byId.end());
    if (holdCheck == HoldCheck::TryLock) {
      CheckHold(roots, port);
    } else {
      port.holdReason = HOLD_NOT_CHECKED;
    }
  }
  std::sort(discovery.ports.begin(), discovery.ports.end(), [](const DiscoveredPort& a, const DiscoveredPort& b) {
    if (a.portNumbers.empty() != b.portNumbers.empty()) return b.portNumbers.empty();
    if (!a.portNumbers.empty() && a.portNumbers.front() != b.portNumbers.front())
      return a.portNumbers.front() < b.portNumbers.front();
    return NaturalKey(a.device) < NaturalKey(b.device);
  });
  return discovery;
}

}  // namespace vorna
