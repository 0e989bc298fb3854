#pragma once
// A property that a fuzz target checks on every input. A failure aborts, so
// libFuzzer saves the input as a crash like any sanitizer report.

#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition, what)                                                     \
  do {                                                                                  \
    if (!(condition)) {                                                                 \
      std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, (what)); \
      std::abort();                                                                     \
    }                                                                                   \
  } while (false)
