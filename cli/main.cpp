#include <iostream>
#ifdef _WIN32
#include <cstdio>
#include <io.h>
#else
#include <unistd.h>
#endif

#include "cli/vornactl.h"

namespace {

bool StandardErrorIsTerminal() {
#ifdef _WIN32
  return ::_isatty(::_fileno(stderr)) != 0;
#else
  return ::isatty(STDERR_FILENO) == 1;
#endif
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  vorna::cli::Environment env{std::cout, std::cerr, StandardErrorIsTerminal(), {}};
  return vorna::cli::Run(args, env);
}
