#include "sim/pseudo_terminal.h"

#include <fcntl.h>
#include <termios.h>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace vorna::sim {

namespace {
std::string Failure(const char* what) { return std::string(what) + ": " + std::strerror(errno); }
}  // namespace

bool MakeRaw(int fd) {
  termios mode{};
  if (::tcgetattr(fd, &mode) != 0) return false;
  mode.c_iflag &=
      ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY | INPCK);
  mode.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  mode.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN);
  mode.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB);
  mode.c_cflag |= CS8 | CREAD | CLOCAL;
  mode.c_cc[VMIN] = 1;
  mode.c_cc[VTIME] = 0;
  return ::tcsetattr(fd, TCSANOW, &mode) == 0;
}

std::optional<PseudoTerminal> PseudoTerminal::Open(std::string& error) {
  UniqueFd master(::posix_openpt(O_RDWR | O_NOCTTY));
  if (!master.valid()) {
    error = Failure("posix_openpt");
    return std::nullopt;
  }
  if (::grantpt(master.get()) != 0 || ::unlockpt(master.get()) != 0) {
    error = Failure("grantpt/unlockpt");
    return std::nullopt;
  }
  const char* name = ::ptsname(master.get());
  if (name == nullptr) {
    error = Failure("ptsname");
    return std::nullopt;
  }
  std::string path(name);
  UniqueFd slave(::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
  if (!slave.valid()) {
    error = Failure(("open " + path).c_str());
    return std::nullopt;
  }
  if (!MakeRaw(slave.get())) {
    error = Failure("raw mode");
    return std::nullopt;
  }
  const int flags = ::fcntl(master.get(), F_GETFL);
  if (flags < 0 || ::fcntl(master.get(), F_SETFL, flags | O_NONBLOCK) != 0 ||
      ::fcntl(master.get(), F_SETFD, FD_CLOEXEC) != 0) {
    error = Failure("non-blocking master");
    return std::nullopt;
  }
  return PseudoTerminal(std::move(master), std::move(slave), std::move(path));
}

void PseudoTerminal::HangUp() {
  slave_.Close();
  master_.Close();
}

}  // namespace vorna::sim
