#include "sim/event_log.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace vorna::sim {

namespace {
constexpr mode_t LOG_FILE_MODE = 0644;
}  // namespace

std::string EventLog::Open(const std::string& path) {
  if (path == LOG_TO_STDERR) {
    fd_ = STDERR_FILENO;
    return {};
  }
  file_ = UniqueFd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, LOG_FILE_MODE));
  if (!file_.valid()) return "cannot open log " + path + ": " + std::strerror(errno);
  fd_ = file_.get();
  return {};
}

void EventLog::Write(std::string_view line) {
  if (fd_ < 0) return;
  pending_ += line;
  pending_ += '\n';
}

void EventLog::Flush() {
  std::size_t written = 0;
  while (written < pending_.size()) {
    const ssize_t n = ::write(fd_, pending_.data() + written, pending_.size() - written);
    if (n < 0 && errno == EINTR) continue;
    // A log that cannot be written must not stop the board.
    if (n <= 0) break;
    written += static_cast<std::size_t>(n);
  }
  pending_.clear();
}

}  // namespace vorna::sim
