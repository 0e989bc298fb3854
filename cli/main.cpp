#include <cstdlib>
#include <iostream>
#include <optional>
#include <ostream>

#include "base/console.h"
#include "cli/standard_output.h"
#include "cli/vornactl.h"
#include "link/system_transport.h"

int main(int argc, char** argv) {
  vorna::KeepStandardStreamsTaken();
  vorna::IgnoreFileSizeSignal();
  // Run reports what its commands throw; this is for what is left (memory
  // running out before it starts).
  try {
    vorna::cli::DescriptorOutput outBuffer(1), errBuffer(2);
    std::ostream out(&outBuffer), err(&errBuffer);
    err.setf(std::ios::unitbuf);
    std::vector<std::string> args(argv + 1, argv + argc);
    vorna::cli::Environment env{out, err, vorna::StandardErrorIsTerminal(), {}};
    env.stopSignal = vorna::StopOnSignals();
    env.makeTransport = [stop = env.stopSignal] { return vorna::MakeSystemTransport(stop); };
    env.variable = [](const char* name) -> std::optional<std::string> {
      const char* value = std::getenv(name);
      return value != nullptr ? std::optional<std::string>(value) : std::nullopt;
    };
    return vorna::cli::Run(args, env);
  } catch (const std::exception& e) {
    vorna::cli::PrintError(std::cerr, e.what());
    return vorna::cli::EXIT_FAILED;
  }
}
