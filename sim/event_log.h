#pragma once
// The traffic log: one line per request, per reply and per event. Lines are
// collected and written whole with a single write() per flush, so that a
// reader following the file while the board runs never sees part of a line;
// the board flushes before it sends and before it waits.

#include <string>
#include <string_view>

#include "base/unique_fd.h"

namespace vorna::sim {

inline constexpr std::string_view LOG_TO_STDERR = "-";

class EventLog {
 public:
  // A log that drops everything.
  EventLog() = default;

  // Truncates `path`; LOG_TO_STDERR writes to standard error. Returns an
  // empty string on success, else why the file cannot be written.
  std::string Open(const std::string& path);

  // Adds a line; it reaches the file at the next Flush.
  void Write(std::string_view line);
  void Flush();

 private:
  UniqueFd file_;
  int fd_ = -1;  // file_ or standard error
  std::string pending_;
};

}  // namespace vorna::sim
