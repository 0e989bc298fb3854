// Hex file benchmark: a 16 MiB image written as Intel HEX (32-byte records,
// extended linear addresses) and as S3 records, turned into a binary file by
// `vornactl image`, by srec_cat and by objcopy, each a whole process, taking
// turns in the same run. Prints each tool's median wall time, the ratios of
// the medians, and the peak anonymous memory of each process (RssAnon of
// /proc/PID/status, sampled while it runs) against image + 8 MiB. The reader
// alone, in this process, is timed for comparison.
//
//   bench_hex [repetitions]        (default 5)
//
// The machine's load moves every figure; pin the run (taskset -c 1) and
// repeat it before trusting a ratio.

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "download/hex_file.h"
#include "support/hex_records.h"
#include "support/temp_folder.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kImageSize = 16u * 1024u * 1024u;
constexpr std::size_t kRecordBytes = 32;
constexpr std::size_t kPageSize = 0x10000;  // one extended linear address record each
constexpr std::uint64_t kMemorySlack = 8u * 1024u * 1024u;
constexpr double kSrecCatTargetRatio = 5.0;
constexpr double kObjcopyTargetRatio = 1.5;

class StderrSink final : public vorna::MessageSink {
 public:
  void Report(std::string_view text, std::string_view reason) override {
    std::fprintf(stderr, "reader: %.*s (%.*s)\n", static_cast<int>(text.size()), text.data(),
                 static_cast<int>(reason.size()), reason.data());
  }
};

// ---------------------------------------------------------------------------
// Input files

std::vector<std::uint8_t> MakeImage() {
  std::vector<std::uint8_t> image(kImageSize);
  std::uint64_t state = 0x9E3779B97F4A7C15ull;
  for (auto& byte : image) {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    byte = static_cast<std::uint8_t>(state >> 56);
  }
  return image;
}

// One record line of `count` bytes at `data`, with its line end.
void IntelLine(std::string& text, unsigned type, unsigned offset, const std::uint8_t* data, std::size_t count) {
  text += vorna::test::IntelHexLine(type, offset, {data, data + count});
  text += '\n';
}

std::string IntelHexText(const std::vector<std::uint8_t>& image) {
  std::string text;
  text.reserve(image.size() * 5 / 2);
  for (std::size_t address = 0; address < image.size(); address += kRecordBytes) {
    if (address % kPageSize == 0) {
      const auto page = static_cast<unsigned>(address / kPageSize);
      const std::uint8_t upper[] = {static_cast<std::uint8_t>(page >> 8), static_cast<std::uint8_t>(page)};
      IntelLine(text, 4, 0, upper, 2);
    }
    IntelLine(text, 0, static_cast<unsigned>(address % kPageSize), image.data() + address, kRecordBytes);
  }
  IntelLine(text, 1, 0, nullptr, 0);
  return text;
}

void SLine(std::string& text, unsigned type, std::uint32_t address, const std::uint8_t* data, std::size_t count) {
  text += vorna::test::SRecordLine(type, address, {data, data + count});
  text += '\n';
}

std::string S3Text(const std::vector<std::uint8_t>& image) {
  std::string text = "S0030000FC\n";
  text.reserve(image.size() * 5 / 2);
  for (std::size_t address = 0; address < image.size(); address += kRecordBytes) {
    SLine(text, 3, static_cast<std::uint32_t>(address), image.data() + address, kRecordBytes);
  }
  SLine(text, 7, 0, nullptr, 0);
  return text;
}

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// ---------------------------------------------------------------------------
// Child processes

class SpawnFileActions {
 public:
  SpawnFileActions() { posix_spawn_file_actions_init(&actions_); }
  SpawnFileActions(const SpawnFileActions&) = delete;
  SpawnFileActions& operator=(const SpawnFileActions&) = delete;
  ~SpawnFileActions() { posix_spawn_file_actions_destroy(&actions_); }
  posix_spawn_file_actions_t* get() { return &actions_; }

 private:
  posix_spawn_file_actions_t actions_;
};

// Starts `args` (no shell), its stdout and stderr to `logPath`; 0 when it
// could not start.
pid_t Start(const std::vector<std::string>& args, const std::string& logPath) {
  SpawnFileActions actions;
  posix_spawn_file_actions_addopen(actions.get(), STDOUT_FILENO, logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(actions.get(), STDOUT_FILENO, STDERR_FILENO);
  std::vector<char*> argv;
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawnp(&pid, argv[0], actions.get(), nullptr, argv.data(), environ) != 0) return 0;
  return pid;
}

bool ExitedWell(int status) { return WIFEXITED(status) && WEXITSTATUS(status) == 0; }

// Wall time of one whole run of `args`, from before the spawn to after the
// wait; nothing when it failed.
std::optional<double> TimeRun(const std::vector<std::string>& args, const std::string& logPath) {
  const auto start = Clock::now();
  const pid_t pid = Start(args, logPath);
  int status = 0;
  if (pid == 0 || waitpid(pid, &status, 0) != pid || !ExitedWell(status)) return std::nullopt;
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// A "Name:   1234 kB" line of /proc/PID/status, in KiB; -1 when absent.
long StatusKiB(pid_t pid, const char* name) {
  char path[64];
  std::snprintf(path, sizeof path, "/proc/%d/status", static_cast<int>(pid));
  std::ifstream status(path);
  const std::size_t length = std::strlen(name);
  for (std::string line; std::getline(status, line);) {
    if (line.compare(0, length, name) == 0) return std::strtol(line.c_str() + length, nullptr, 10);
  }
  return -1;
}

struct Memory {
  long peakAnonKiB = -1;  // largest RssAnon sampled
  // The kernel's peak of the whole resident set (VmHWM), mapped files
  // included, as last sampled; wait4's ru_maxrss would carry this process's
  // own peak across the spawn.
  long peakRssKiB = -1;
  int samples = 0;
};

// Runs `args` once, sampling its anonymous memory as fast as /proc allows
// until it ends.
std::optional<Memory> MeasureRun(const std::vector<std::string>& args, const std::string& logPath) {
  const pid_t pid = Start(args, logPath);
  if (pid == 0) return std::nullopt;
  Memory memory;
  int status = 0;
  for (;;) {
    const pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) break;
    if (done < 0) return std::nullopt;
    memory.peakAnonKiB = std::max(memory.peakAnonKiB, StatusKiB(pid, "RssAnon:"));
    memory.peakRssKiB = std::max(memory.peakRssKiB, StatusKiB(pid, "VmHWM:"));
    ++memory.samples;
  }
  if (!ExitedWell(status)) return std::nullopt;
  return memory;
}

bool OnPath(const std::string& name) {
  const char* path = std::getenv("PATH");
  if (path == nullptr) return false;
  std::stringstream folders(path);
  for (std::string folder; std::getline(folders, folder, ':');) {
    if (!folder.empty() && access((folder + "/" + name).c_str(), X_OK) == 0) return true;
  }
  return false;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t middle = values.size() / 2;
  return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

bool SameAsImage(const std::uint8_t* bytes, std::size_t size, const std::vector<std::uint8_t>& image) {
  return size == image.size() && std::memcmp(bytes, image.data(), size) == 0;
}

// ---------------------------------------------------------------------------

struct Tool {
  const char* name;
  std::vector<std::string> args;  // writes the binary to the output path
  std::vector<double> seconds;
  bool failed = false;
};

void PrintRatio(const Tool& ours, const Tool& other, double target) {
  if (ours.seconds.empty() || other.seconds.empty()) return;
  const double ratio = Median(other.seconds) / Median(ours.seconds);
  std::printf("  vornactl image vs %-8s %5.2fx faster (target >= %.1fx: %s)\n", other.name, ratio, target,
              ratio >= target ? "met" : "NOT met");
}

bool BenchFile(const char* label, const std::string& input, const char* srecCatFormat, const char* objcopyFormat,
               const std::vector<std::uint8_t>& image, const std::filesystem::path& folder, int repetitions) {
  const std::size_t inputBytes = std::filesystem::file_size(input);
  std::printf("%s: %zu bytes of text, image %zu bytes\n", label, inputBytes, image.size());
  bool correct = true;
  const std::string log = (folder / "tool.log").string();
  const std::string binary = (folder / "out.bin").string();

  ReadFile(input);  // into the page cache before any timing
  std::vector<Tool> tools;
  tools.push_back({"vornactl", {VORNACTL_PATH, "image", input, "-o", binary}, {}});
  if (OnPath("srec_cat"))
    tools.push_back({"srec_cat", {"srec_cat", input, srecCatFormat, "-o", binary, "-Binary"}, {}});
  if (OnPath("objcopy"))
    tools.push_back({"objcopy", {"objcopy", "-I", objcopyFormat, "-O", "binary", input, binary}, {}});

  // The tools take turns, so that a change in the machine's load falls on
  // all of them alike.
  for (int round = 0; round < repetitions; ++round) {
    for (Tool& tool : tools) {
      if (tool.failed) continue;
      std::filesystem::remove(binary);
      const std::optional<double> seconds = TimeRun(tool.args, log);
      if (!seconds) {
        std::printf("  %s failed: %s\n", tool.name, ReadFile(log).c_str());
        tool.failed = true;
        correct = false;
        continue;
      }
      tool.seconds.push_back(*seconds);
      if (round == 0) {
        const std::string out = ReadFile(binary);
        if (!SameAsImage(reinterpret_cast<const std::uint8_t*>(out.data()), out.size(), image)) {
          std::printf("  %s: output differs from the data written\n", tool.name);
          correct = false;
        }
      }
    }
  }

  std::vector<double> readerSeconds;
  for (int round = 0; round < repetitions; ++round) {
    const auto start = Clock::now();
    StderrSink sink;
    vorna::HexImage loaded;
    if (vorna::LoadHexFile(input, loaded, sink) != 0) return false;
    readerSeconds.push_back(std::chrono::duration<double>(Clock::now() - start).count());
  }

  const double budgetKiB = static_cast<double>(image.size() + kMemorySlack) / 1024.0;
  std::printf("  %-16s %9s %9s %10s %13s %12s\n", "", "median ms", "min ms", "MB/s", "peak anon MiB", "peak RSS MiB");
  for (const Tool& tool : tools) {
    if (tool.seconds.empty()) continue;
    const double median = Median(tool.seconds);
    const std::optional<Memory> memory = MeasureRun(tool.args, log);
    std::printf("  %-16s %9.1f %9.1f %10.1f", tool.name, median * 1e3,
                *std::min_element(tool.seconds.begin(), tool.seconds.end()) * 1e3,
                static_cast<double>(inputBytes) / median / 1e6);
    if (memory) {
      std::printf(" %13.1f %12.1f   (%d samples)", static_cast<double>(memory->peakAnonKiB) / 1024.0,
                  static_cast<double>(memory->peakRssKiB) / 1024.0, memory->samples);
      if (&tool == &tools.front()) {
        std::printf("  budget image + 8 MiB = %.1f MiB: %s", budgetKiB / 1024.0,
                    static_cast<double>(memory->peakAnonKiB) <= budgetKiB ? "within" : "ABOVE");
      }
    }
    std::printf("\n");
  }
  const double readerMedian = Median(readerSeconds);
  std::printf("  %-16s %9.1f %9s %10.1f   (LoadHexFile in this process)\n", "reader alone", readerMedian * 1e3, "",
              static_cast<double>(inputBytes) / readerMedian / 1e6);
  for (const Tool& tool : tools) {
    if (std::strcmp(tool.name, "srec_cat") == 0) PrintRatio(tools.front(), tool, kSrecCatTargetRatio);
    if (std::strcmp(tool.name, "objcopy") == 0) PrintRatio(tools.front(), tool, kObjcopyTargetRatio);
  }
  return correct;
}

}  // namespace

int main(int argc, char** argv) {
  const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;

  const vorna::test::TempFolder folder("vorna_bench_hex");
  const std::vector<std::uint8_t> image = MakeImage();
  const std::string intelPath = (folder.path() / "image.hex").string();
  const std::string s3Path = (folder.path() / "image.s3").string();
  WriteFile(intelPath, IntelHexText(image));
  WriteFile(s3Path, S3Text(image));
  std::printf("16 MiB image, %zu-byte records; whole processes, median of %d turns each\n", kRecordBytes, repetitions);

  bool correct = BenchFile("Intel HEX", intelPath, "-Intel", "ihex", image, folder.path(), repetitions);
  correct = BenchFile("S3 records", s3Path, "-Motorola", "srec", image, folder.path(), repetitions) && correct;
  return correct ? 0 : 1;
}
