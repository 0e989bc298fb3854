#pragma once
// One command on several boards at once: each on its own port and thread,
// with its own output, so that a board that fails or hangs never stops or
// mixes with the others. What each board printed comes out prefixed with its
// port, in the order the boards were given, then a summary line.

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "cli/board.h"
#include "cli/board_json.h"
#include "cli/vornactl.h"
#include "link/device_link.h"

namespace vorna::cli {

// A download's progress: bytes sent of the total.
using ProgressReport = std::function<void(std::size_t sent, std::size_t total)>;

// A command on one board; returns its exit status. Runs on a thread of its
// own: it may only use `env`, `port`, `progress` and what it owns.
using BoardTask = std::function<int(Environment& env, const PortChoice& port, const ProgressReport& progress)>;

struct FleetOutput {
  bool json = false;          // one JSON array, one object per board (BoardRecord)
  bool printOutput = true;    // false: a board's standard output is left out (-q on status-only commands)
  bool diff = false;          // exit status 1 means "differs", not "failed" (diff's own statuses)
  bool showProgress = false;  // draw the boards' total progress on env.err
};

// {"port": "COM3", "status": 0, "succeeded": true, then "result": the JSON
// the command printed, or "output": its lines, and "messages": what it
// printed on stderr, line by line}.
Json BoardRecord(const std::string& label, int status, const std::string& out, const std::string& err);

// "3 boards: 2 succeeded, COM5 failed"; for diff also "COM4 differs".
std::string FleetSummary(const std::vector<std::string>& labels, const std::vector<int>& statuses, bool diff);

// Runs `task` on every board at once. Exit status: 0 when every board
// succeeded, else 1 (diff: 2 if any board had trouble, else 1 if any
// differs); 128 + the signal when a stop signal ended it.
int RunOnBoards(const std::vector<PortChoice>& boards, const BoardTask& task, Environment& env, const FleetOutput& how);

}  // namespace vorna::cli
