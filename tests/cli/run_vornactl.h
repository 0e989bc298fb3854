// Runs vornactl in-process, as the tests of its commands do.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "cli/vornactl.h"

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

}  // namespace vorna::test
