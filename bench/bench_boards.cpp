// Many boards at once: vornactl's download of an 8 KiB program to 16
// virtual boards paced at 115200 baud (--port 41,...,56), next to the same
// download to one of them. The boards run side by side, so the many should
// take hardly longer than the one. Target: many / one <= 1.15. Also the CPU
// time vornactl spends per board (the boards' own processes not counted).
//
//   bench_boards [rounds]        (default 5; the median round is reported)

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "cli/vornactl.h"
#include "support/board_sim.h"
#include "support/hex_records.h"
#include "support/temp_folder.h"

namespace {

using Clock = std::chrono::steady_clock;
using Seconds = std::chrono::duration<double>;

constexpr int BOARD_COUNT = 16;
constexpr int FIRST_PORT = 41;
constexpr unsigned PROGRAM_START = 0x2000;
constexpr std::size_t PROGRAM_LENGTH = 8192;
constexpr std::size_t RECORD_LENGTH = 32;
constexpr double TARGET = 1.15;

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

struct Timing {
  double wall;
  double cpu;
};

Timing Download(const std::string& ports, const std::string& hexPath) {
  std::ostringstream out, err;
  vorna::cli::Environment env{out, err, false, {}};
  const double cpuBefore = CpuSeconds();
  const auto start = Clock::now();
  const int status = vorna::cli::Run({"--port", ports, "-q", "download", hexPath}, env);
  const Timing timing{Seconds(Clock::now() - start).count(), CpuSeconds() - cpuBefore};
  if (status != 0) {
    std::fprintf(stderr, "bench_boards: download to %s failed:\n%s", ports.c_str(), err.str().c_str());
    std::exit(1);
  }
  return timing;
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  vorna::test::TempFolder home("vorna-bench-boards");
  ::setenv("XDG_CONFIG_HOME", home.path().c_str(), 1);

  const std::string hexPath = (home.path() / "program.hex").string();
  {
    std::ofstream hex(hexPath);
    for (std::size_t offset = 0; offset < PROGRAM_LENGTH; offset += RECORD_LENGTH) {
      std::vector<std::uint8_t> data(RECORD_LENGTH);
      for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(offset + i * 7);
      hex << vorna::test::IntelData(static_cast<unsigned>(PROGRAM_START + offset), data) << '\n';
    }
    hex << vorna::test::IntelEnd() << '\n';
  }

  std::vector<std::unique_ptr<vorna::test::BoardSim>> boards;
  std::string many;
  for (int i = 0; i < BOARD_COUNT; ++i) {
    const std::string port = std::to_string(FIRST_PORT + i);
    boards.push_back(std::make_unique<vorna::test::BoardSim>(
        vorna::test::BoardSimSetup{{"--com", port, "--baud", "115200"}, {}, home.path().string(), false}));
    if (!boards.back()->ok()) {
      std::fprintf(stderr, "bench_boards: board %s did not start\n", port.c_str());
      return 1;
    }
    many += (many.empty() ? "" : ",") + port;
  }

  std::vector<double> oneWall, oneCpu, manyWall, manyCpu;
  for (int round = 0; round < rounds; ++round) {
    const Timing one = Download(std::to_string(FIRST_PORT + round % BOARD_COUNT), hexPath);
    const Timing all = Download(many, hexPath);
    oneWall.push_back(one.wall);
    oneCpu.push_back(one.cpu);
    manyWall.push_back(all.wall);
    manyCpu.push_back(all.cpu / BOARD_COUNT);
  }
  const double ratio = Median(manyWall) / Median(oneWall);
  std::printf("download of %zu bytes at 115200 baud, median of %d rounds\n", PROGRAM_LENGTH, rounds);
  std::printf("  one board               : %8.1f ms wall, %6.1f ms CPU\n", Median(oneWall) * 1e3, Median(oneCpu) * 1e3);
  std::printf("  %d boards at once       : %8.1f ms wall, %6.1f ms CPU per board\n", BOARD_COUNT,
              Median(manyWall) * 1e3, Median(manyCpu) * 1e3);
  std::printf("  ratio many / one        : %8.3f   (target <= %.2f)\n", ratio, TARGET);
  ::unsetenv("XDG_CONFIG_HOME");
  return ratio <= TARGET ? 0 : 1;
}
