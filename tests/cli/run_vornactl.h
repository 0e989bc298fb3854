// Runs vornactl in-process, as the tests of its commands do.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "cli/vornactl.h"
#include "support/board_sim.h"

namespace vorna::test {

struct Outcome {
  int status;
  std::string out;
  std::string err;
};

inline Outcome Vornactl(const std::vector<std::string>& args) {
  std::ostringstream out, err;
  cli::Environment env{out, err, false, {}};
  const int status = cli::Run(args, env);
  return {status, out.str(), err.str()};
}

// The same, on the virtual board's device.
inline Outcome OnBoard(const BoardSim& sim, std::vector<std::string> args) {
  args.insert(args.begin(), {"--device", sim.device()});
  return Vornactl(args);
}

// Requests the board received, as logged ("<- aa 01 02").
inline std::vector<std::string> Requests(const BoardSim& sim) {
  std::vector<std::string> requests;
  for (const auto& line : sim.logLines())
    if (line.rfind("<- ", 0) == 0) requests.push_back(line.substr(3));
  return requests;
}

}  // namespace vorna::test
