#include <iostream>
#include <unistd.h>

#include "cli/vornactl.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  vorna::cli::Environment env{std::cout, std::cerr, ::isatty(STDERR_FILENO) == 1, {}};
  return vorna::cli::Run(args, env);
}
