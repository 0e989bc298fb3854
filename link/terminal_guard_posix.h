#pragma once
// Which character devices are never opened as a board. Everything here is
// decided from the device's number and what /proc and /sys say about it,
// before the device is opened: opening a terminal read-write and making it
// raw already changes it under its user, and a request written to it lands
// on a screen or a login prompt.
//
// Refused: /dev/tty and /dev/console; the virtual terminals (major 4, minors
// 0-63); every device the kernel lists as a console (/proc/consoles, and the
// names in /sys/class/tty/console/active); a terminal some process holds as
// its controlling terminal; and a pseudo-terminal whose holder cannot be
// ruled out because this process does not see every process.
//
// What can be known about holders. The controlling-terminal scan reads
// /proc/PID/stat of every process in view. It is complete only when every
// process is in view:
// - Kernel threads belong to the initial PID namespace alone, so a /proc
//   that shows none is a PID namespace's (a container, unshare): processes
//   outside it are hidden, whatever their user. Under hidepid=invisible an
//   ordinary user does not see them either (they are root's), and is then
//   equally blind to other users' processes.
// - Under hidepid=noaccess the entries are listed but cannot be read.
// A pseudo-terminal that is a person's terminal has its other side (the
// master) held by a terminal emulator, sshd, tmux or a container runtime,
// and its holder in the same session. When the view is partial, a
// pseudo-terminal is opened only when a process in view holds its master
// (/proc/PID/fdinfo gives the tty-index of a /dev/ptmx descriptor): the
// virtual board this user started qualifies, another user's login, or a
// terminal whose program runs outside the namespace, does not. The scan for
// the master reads other processes' descriptors, so a user who may not look
// into the master's holder (another user's, without CAP_SYS_PTRACE) is
// refused too. Limits: the scan is not atomic (a process may take the
// terminal after it); indices are per devpts instance, so a master of the
// same number in another instance that is also in view is taken for this
// one's; and root without CAP_SYS_PTRACE under hidepid=invisible sees
// kernel threads but not other users' processes. Serial ports that are not
// consoles are opened whatever the view: a board in a container is one.

#include <sys/types.h>

#include <optional>
#include <set>
#include <string>
#include <string_view>

namespace vorna {

// Where the checks look. The defaults are this machine's; tests build trees
// of their own.
struct SystemFolders {
  std::string sysfs = "/sys";
  std::string proc = "/proc";
};

// The devices the kernel lists as consoles: the device numbers in
// <proc>/consoles and those of the ttys <sysfs>/class/tty/console/active
// names (read from <sysfs>/class/tty/NAME/dev).
std::set<dev_t> ConsoleDevices(const SystemFolders& folders);

// The device number of the tty `name` ("ttyS0"), from <sysfs>/class/tty/NAME/dev.
std::optional<dev_t> TtyDeviceNumber(const std::string& name, const SystemFolders& folders);

// Why the character device numbered `device` must not be opened as a board;
// empty when it may be.
std::string TerminalRefusal(dev_t device, const SystemFolders& folders);

// The controlling terminal named by one /proc/PID/stat line (its field
// tty_nr); nullopt when the process has none or the line is not one.
std::optional<dev_t> ControllingTerminalOf(std::string_view statLine);

// What the process folder shows about who holds a terminal.
struct TerminalHolders {
  std::optional<pid_t> holder;  // a process in view whose controlling terminal it is
  // Why some process may be out of view; empty when every process is in view.
  std::string hidden;
};

TerminalHolders FindTerminalHolders(dev_t terminal, const std::string& processFolder);

}  // namespace vorna
