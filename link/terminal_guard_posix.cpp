#include "link/terminal_guard_posix.h"

#include <dirent.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <limits>
#include <memory>

#include "base/file_io.h"

namespace vorna {

namespace {

// /dev/tty (the opener's own controlling terminal, whichever it is) and
// /dev/console: their device numbers never match a process's tty_nr.
constexpr unsigned TTY_ALIAS_MAJOR = 5;
constexpr unsigned TTY_ALIAS_MINOR_TTY = 0;
constexpr unsigned TTY_ALIAS_MINOR_CONSOLE = 1;
// tty0 (the virtual terminal in front) and tty1 to tty63.
constexpr unsigned VIRTUAL_TERMINAL_MAJOR = 4;
constexpr unsigned LAST_VIRTUAL_TERMINAL_MINOR = 63;
// Every /dev/pts/N is (136, N).
constexpr unsigned PSEUDO_TERMINAL_MAJOR = 136;
// Fields of /proc/PID/stat after the command name.
constexpr int TTY_NR_FIELD = 5;
constexpr int FLAGS_FIELD = 7;
// PF_KTHREAD among the flags: a kernel thread.
constexpr unsigned long long KERNEL_THREAD_FLAG = 0x00200000;
// Enough for any /proc/PID/stat line, fdinfo or console list.
constexpr std::size_t SMALL_FILE_CAPACITY = 4096;

struct DirCloser {
  void operator()(DIR* folder) const { ::closedir(folder); }
};
using Folder = std::unique_ptr<DIR, DirCloser>;

std::optional<unsigned long long> Number(std::string_view text) {
  unsigned long long value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// "4:64" as a device number.
std::optional<dev_t> DeviceNumber(std::string_view text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.remove_suffix(1);
  const std::size_t colon = text.find(':');
  if (colon == std::string_view::npos) return std::nullopt;
  const auto deviceMajor = Number(text.substr(0, colon));
  const auto deviceMinor = Number(text.substr(colon + 1));
  if (!deviceMajor || !deviceMinor || *deviceMajor > std::numeric_limits<unsigned>::max() ||
      *deviceMinor > std::numeric_limits<unsigned>::max())
    return std::nullopt;
  return makedev(static_cast<unsigned>(*deviceMajor), static_cast<unsigned>(*deviceMinor));
}

// Field `index` of a /proc/PID/stat line counted after the command name,
// which is in parentheses and may itself hold blanks and ')'.
std::string_view StatField(std::string_view line, int index) {
  const std::size_t nameEnd = line.rfind(')');
  if (nameEnd == std::string_view::npos) return {};
  std::string_view rest = line.substr(nameEnd + 1);
  std::string_view field;
  for (int i = 0; i < index; ++i) {
    const std::size_t start = rest.find_first_not_of(' ');
    if (start == std::string_view::npos) return {};
    rest.remove_prefix(start);
    const std::size_t end = std::min(rest.find(' '), rest.size());
    field = rest.substr(0, end);
    rest.remove_prefix(end);
  }
  return field;
}

// The entries of a process folder that are processes, with their numbers.
template <typename Visit>
void ForEachProcess(DIR* folder, Visit visit) {
  while (const dirent* entry = ::readdir(folder)) {
    const std::string_view name(entry->d_name);
    pid_t pid = 0;
    const auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), pid);
    if (error != std::errc() || end != name.data() + name.size()) continue;
    if (!visit(pid, std::string(name))) return;
  }
}

// Whether `fdinfo` (a /proc/PID/fdinfo/N file) is that of the master of
// pseudo-terminal `index`.
bool IsMasterOf(const std::string& fdinfo, unsigned index) {
  constexpr std::string_view KEY = "tty-index:";
  const std::string text = ReadWholeFile(fdinfo, SMALL_FILE_CAPACITY).value_or(std::string());
  const std::size_t at = text.find(KEY);
  if (at == std::string::npos) return false;
  std::string_view value = std::string_view(text).substr(at + KEY.size());
  value.remove_prefix(std::min(value.find_first_not_of(" \t"), value.size()));
  value = value.substr(0, value.find('\n'));
  return Number(value) == index;
}

// Whether a process in view holds the master side of pseudo-terminal
// `index`: a descriptor of the master multiplexer (/dev/ptmx or
// /dev/pts/ptmx) whose fdinfo names that index.
bool MasterInView(unsigned index, const std::string& processFolder) {
  const Folder processes(::opendir(processFolder.c_str()));
  if (!processes) return false;
  bool found = false;
  ForEachProcess(processes.get(), [&](pid_t, const std::string& name) {
    const std::string fdFolder = processFolder + "/" + name + "/fd";
    const Folder descriptors(::opendir(fdFolder.c_str()));
    // Another user's process: its descriptors are not ours to see.
    if (!descriptors) return true;
    while (const dirent* entry = ::readdir(descriptors.get())) {
      char target[64] = {};
      const std::string link = fdFolder + "/" + entry->d_name;
      const ssize_t length = ::readlink(link.c_str(), target, sizeof target - 1);
      if (length <= 0) continue;
      const std::string_view path(target, static_cast<std::size_t>(length));
      if (path != "/dev/ptmx" && !path.ends_with("/pts/ptmx")) continue;
      if (IsMasterOf(processFolder + "/" + name + "/fdinfo/" + entry->d_name, index)) {
        found = true;
        return false;
      }
    }
    return true;
  });
  return found;
}

}  // namespace

std::set<dev_t> ConsoleDevices(const SystemFolders& folders) {
  std::set<dev_t> consoles;
  // "ttyS0                -W- (EC p a)    4:64", one line each.
  const std::string listed = ReadWholeFile(folders.proc + "/consoles", SMALL_FILE_CAPACITY).value_or(std::string());
  for (std::size_t start = 0; start < listed.size();) {
    const std::size_t end = std::min(listed.find('\n', start), listed.size());
    const std::string_view line = std::string_view(listed).substr(start, end - start);
    const std::size_t blank = line.rfind(' ');
    if (const auto device = DeviceNumber(line.substr(blank == std::string_view::npos ? 0 : blank + 1)))
      consoles.insert(*device);
    start = end + 1;
  }
  // "tty0 ttyS0": names in the tty class.
  const std::string active =
      ReadWholeFile(folders.sysfs + "/class/tty/console/active", SMALL_FILE_CAPACITY).value_or(std::string());
  for (std::size_t start = 0; start < active.size();) {
    const std::size_t end = std::min(active.find_first_of(" \n", start), active.size());
    if (const auto device = TtyDeviceNumber(active.substr(start, end - start), folders)) consoles.insert(*device);
    start = end + 1;
  }
  return consoles;
}

std::optional<dev_t> TtyDeviceNumber(const std::string& name, const SystemFolders& folders) {
  if (name.empty() || name.find('/') != std::string::npos || name == "." || name == "..") return std::nullopt;
  return DeviceNumber(
      ReadWholeFile(folders.sysfs + "/class/tty/" + name + "/dev", SMALL_FILE_CAPACITY).value_or(std::string()));
}

std::optional<dev_t> ControllingTerminalOf(std::string_view statLine) {
  const std::string_view field = StatField(statLine, TTY_NR_FIELD);
  long long number = 0;
  const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), number);
  if (field.empty() || error != std::errc() || end != field.data() + field.size() || number <= 0) return std::nullopt;
  // The kernel's encoding: minor bits 0-7 and 20-31, major bits 8-19.
  const auto encoded = static_cast<unsigned long long>(number);
  const auto deviceMajor = static_cast<unsigned>((encoded >> 8) & 0xFFF);
  const auto deviceMinor = static_cast<unsigned>((encoded & 0xFF) | ((encoded >> 12) & 0xFFF00));
  return makedev(deviceMajor, deviceMinor);
}

TerminalHolders FindTerminalHolders(dev_t terminal, const std::string& processFolder) {
  TerminalHolders result;
  const Folder processes(::opendir(processFolder.c_str()));
  if (!processes) {
    result.hidden = "this process cannot read " + processFolder;
    return result;
  }
  bool kernelThreadSeen = false;
  std::size_t unreadable = 0;
  ForEachProcess(processes.get(), [&](pid_t pid, const std::string& name) {
    ReadFailure failure;
    const auto line =
        ReadWholeFile(processFolder + "/" + name + "/stat", SMALL_FILE_CAPACITY, FileKinds::Any, &failure);
    // A process that ended meanwhile has no file left; it holds nothing.
    if (!line) {
      if (failure.error == EACCES || failure.error == EPERM) ++unreadable;
      return true;
    }
    if (ControllingTerminalOf(*line) == terminal) {
      result.holder = pid;
      return false;
    }
    const auto flags = Number(StatField(*line, FLAGS_FIELD));
    kernelThreadSeen = kernelThreadSeen || (flags && (*flags & KERNEL_THREAD_FLAG) != 0);
    return true;
  });
  if (result.holder) return result;
  std::string why;
  if (!kernelThreadSeen) why = "its process list shows no kernel thread (a PID namespace, or hidepid)";
  if (unreadable > 0) {
    why += (why.empty() ? "" : "; ") + std::to_string(unreadable) + " of its processes cannot be looked into (hidepid)";
  }
  if (!why.empty()) result.hidden = "this process does not see every process: " + why;
  return result;
}

std::string TerminalRefusal(dev_t device, const SystemFolders& folders) {
  const unsigned deviceMajor = major(device);
  const unsigned deviceMinor = minor(device);
  if (deviceMajor == TTY_ALIAS_MAJOR && (deviceMinor == TTY_ALIAS_MINOR_TTY || deviceMinor == TTY_ALIAS_MINOR_CONSOLE))
    return "terminal in use: it stands for a controlling terminal or the console";
  if (deviceMajor == VIRTUAL_TERMINAL_MAJOR && deviceMinor <= LAST_VIRTUAL_TERMINAL_MINOR)
    return "terminal in use: virtual terminal tty" + std::to_string(deviceMinor) + " of the system console";
  if (ConsoleDevices(folders).contains(device)) return "terminal in use: the system console";
  const TerminalHolders holders = FindTerminalHolders(device, folders.proc);
  if (holders.holder) return "terminal in use: the controlling terminal of process " + std::to_string(*holders.holder);
  if (deviceMajor == PSEUDO_TERMINAL_MAJOR && !holders.hidden.empty() && !MasterInView(deviceMinor, folders.proc)) {
    return "terminal may be in use: " + holders.hidden +
           ", and no process in view holds the other side of this pseudo-terminal";
  }
  return {};
}

}  // namespace vorna
