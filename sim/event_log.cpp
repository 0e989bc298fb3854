#include "sim/event_log.h"

#include <fcntl.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

#include "base/file_io.h"

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
  // A log that cannot be written must not stop the board.
  WriteAll(fd_, pending_);
  pending_.clear();
}

}  // namespace vorna::sim
