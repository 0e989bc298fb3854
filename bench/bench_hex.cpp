// Hex file reader benchmark: a 16 MiB image written as Intel HEX (32-byte
// records, extended linear addresses) and as S3 records, loaded by
// LoadHexFile, converted to binary by srec_cat and by objcopy. Prints the
// input text rate of each, the ratios, and LoadHexFile's peak memory measured
// in a child process against file size + image size + 8 MiB.
//
//   bench_hex [repetitions]        (default 3; srec_cat runs once per file)

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

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kImageSize = 16u * 1024u * 1024u;
constexpr std::size_t kRecordBytes = 32;
constexpr std::size_t kPageSize = 0x10000;  // one extended linear address record each
constexpr std::uint64_t kMemorySlack = 8u * 1024u * 1024u;
constexpr double kSrecCatTargetRatio = 5.0;
constexpr const char* kPeakMemoryOption = "--peak-memory";

class StderrSink final : public vorna::MessageSink {
 public:
  void Report(std::string_view text, std::string_view reason) override {
    std::fprintf(stderr, "reader: %.*s (%.*s)\n", static_cast<int>(text.size()), text.data(),
                 static_cast<int>(reason.size()), reason.data());
  }
};

// ---------------------------------------------------------------------------
// Input files

constexpr char kHexDigits[] = "0123456789ABCDEF";

void AppendByte(std::string& text, unsigned value, unsigned& sum) {
  text += kHexDigits[(value >> 4) & 0xF];
  text += kHexDigits[value & 0xF];
  sum += value;
}

std::vector<std::uint8_t> MakeImage() {
  std::vector<std::uint8_t> image(kImageSize);
  std::uint64_t state = 0x9E3779B97F4A7C15ull;
  for (auto& byte : image) {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    byte = static_cast<std::uint8_t>(state >> 56);
  }
  return image;
}

void IntelLine(std::string& text, unsigned type, unsigned offset, const std::uint8_t* data,
               std::size_t count) {
  unsigned sum = 0;
  text += ':';
  AppendByte(text, static_cast<unsigned>(count), sum);
  AppendByte(text, offset >> 8, sum);
  AppendByte(text, offset & 0xFF, sum);
  AppendByte(text, type, sum);
  for (std::size_t i = 0; i < count; ++i) AppendByte(text, data[i], sum);
  unsigned ignored = 0;
  AppendByte(text, (0x100 - (sum & 0xFF)) & 0xFF, ignored);
  text += '\n';
}

std::string IntelHexText(const std::vector<std::uint8_t>& image) {
  std::string text;
  text.reserve(image.size() * 5 / 2);
  for (std::size_t address = 0; address < image.size(); address += kRecordBytes) {
    if (address % kPageSize == 0) {
      const auto page = static_cast<unsigned>(address / kPageSize);
      const std::uint8_t upper[] = {static_cast<std::uint8_t>(page >> 8),
                                    static_cast<std::uint8_t>(page)};
      IntelLine(text, 4, 0, upper, 2);
    }
    IntelLine(text, 0, static_cast<unsigned>(address % kPageSize), image.data() + address,
              kRecordBytes);
  }
  IntelLine(text, 1, 0, nullptr, 0);
  return text;
}

void SLine(std::string& text, char type, std::uint32_t address, const std::uint8_t* data,
           std::size_t count) {
  unsigned sum = 0;
  text += 'S';
  text += type;
  AppendByte(text, static_cast<unsigned>(count + 5), sum);
  for (int shift = 24; shift >= 0; shift -= 8) AppendByte(text, (address >> shift) & 0xFF, sum);
  for (std::size_t i = 0; i < count; ++i) AppendByte(text, data[i], sum);
  unsigned ignored = 0;
  AppendByte(text, ~sum & 0xFF, ignored);
  text += '\n';
}

std::string S3Text(const std::vector<std::uint8_t>& image) {
  std::string text = "S0030000FC\n";
  text.reserve(image.size() * 5 / 2);
  for (std::size_t address = 0; address < image.size(); address += kRecordBytes) {
    SLine(text, '3', static_cast<std::uint32_t>(address), image.data() + address, kRecordBytes);
  }
  SLine(text, '7', 0, nullptr, 0);
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


// Runs `args` with fixed arguments (no shell), its output to `outputPath`;
// returns its exit status, -1 when it could not run or was killed.
int Run(const std::vector<std::string>& args, const std::string& outputPath,
                bool usePath = true) {
  SpawnFileActions actions;
  posix_spawn_file_actions_addopen(actions.get(), STDOUT_FILENO, outputPath.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(actions.get(), STDOUT_FILENO, STDERR_FILENO);
  std::vector<char*> argv;
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int spawned = usePath ? posix_spawnp(&pid, argv[0], actions.get(), nullptr, argv.data(), environ)
                              : posix_spawn(&pid, argv[0], actions.get(), nullptr, argv.data(), environ);
  if (spawned != 0) return -1;
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
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

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// Best of `repetitions` wall times of `run`; nothing when a run failed.
template <typename Run>
std::optional<double> BestTime(int repetitions, Run run) {
  double best = 0;
  for (int i = 0; i < repetitions; ++i) {
    const auto start = Clock::now();
    if (!run()) return std::nullopt;
    const double seconds = Seconds(Clock::now() - start);
    best = i == 0 ? seconds : std::min(best, seconds);
  }
  return best;
}

bool SameAsImage(const std::uint8_t* bytes, std::size_t size, const std::vector<std::uint8_t>& image) {
  return size == image.size() && std::memcmp(bytes, image.data(), size) == 0;
}

// ---------------------------------------------------------------------------

long VmHighWaterMarkKiB() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmHWM:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  }
  return -1;
}

// Child mode: load one file and print the peak resident size.
int PeakMemoryChild(const std::string& path) {
  vorna::RecordingSink sink;  // silent: stdout carries the figure alone
  vorna::HexImage image;
  const int result = vorna::LoadHexFile(path, image, sink);
  std::printf("%ld\n", VmHighWaterMarkKiB());
  return path.empty() || result == 0 ? 0 : 1;
}

struct Rates {
  std::optional<double> ours, srecCat, objcopy;
};

void PrintRate(const char* name, std::optional<double> seconds, std::size_t inputBytes) {
  if (seconds) {
    std::printf("  %-12s %8.1f ms  %8.1f MB/s\n", name, *seconds * 1e3,
                static_cast<double>(inputBytes) / *seconds / 1e6);
  } else {
    std::printf("  %-12s not run or failed\n", name);
  }
}

bool BenchFile(const char* label, const std::string& input, const char* srecCatFormat,
               const char* objcopyFormat, const std::vector<std::uint8_t>& image,
               const std::filesystem::path& folder, int repetitions) {
  const std::size_t inputBytes = std::filesystem::file_size(input);
  std::printf("%s: %s, %zu bytes of text, image %zu bytes\n", label, input.c_str(), inputBytes,
              image.size());
  bool correct = true;
  Rates rates;

  ReadFile(input);  // into the page cache before any timing
  rates.ours = BestTime(repetitions, [&] {
    StderrSink sink;
    vorna::HexImage loaded;
    if (vorna::LoadHexFile(input, loaded, sink) != 0) return false;
    // The image tops out at the last 16-byte line, which here is the end of
    // the data.
    if (!SameAsImage(loaded.bytes.get(), loaded.size(), image)) {
      std::printf("  LoadHexFile: image differs from the data written\n");
      correct = false;
    }
    return true;
  });

  const std::string log = (folder / "tool.log").string();
  const std::string binary = (folder / "out.bin").string();
  auto checkBinary = [&](const char* tool) {
    const std::string out = ReadFile(binary);
    if (!SameAsImage(reinterpret_cast<const std::uint8_t*>(out.data()), out.size(), image)) {
      std::printf("  %s: output differs from the data written\n", tool);
      correct = false;
    }
  };
  if (OnPath("srec_cat")) {
    rates.srecCat = BestTime(1, [&] {
      return Run({"srec_cat", input, srecCatFormat, "-o", binary, "-Binary"}, log) == 0;
    });
    if (rates.srecCat) checkBinary("srec_cat");
  }
  if (OnPath("objcopy")) {
    rates.objcopy = BestTime(repetitions, [&] {
      return Run({"objcopy", "-I", objcopyFormat, "-O", "binary", input, binary}, log) == 0;
    });
    if (rates.objcopy) checkBinary("objcopy");
  }

  PrintRate("LoadHexFile", rates.ours, inputBytes);
  PrintRate("srec_cat", rates.srecCat, inputBytes);
  PrintRate("objcopy", rates.objcopy, inputBytes);
  if (rates.ours && rates.srecCat) {
    const double ratio = *rates.srecCat / *rates.ours;
    std::printf("  LoadHexFile vs srec_cat: %.1fx faster (target >= %.0fx: %s)\n", ratio,
                kSrecCatTargetRatio, ratio >= kSrecCatTargetRatio ? "met" : "NOT met");
  }
  if (rates.ours && rates.objcopy) {
    const double ratio = *rates.objcopy / *rates.ours;
    std::printf("  LoadHexFile vs objcopy:  %.2fx faster (target > 1x: %s)\n", ratio,
                ratio > 1.0 ? "met" : "NOT met");
  }

  const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
  const std::string childOut = (folder / "child.out").string();
  // Measured in a fresh process: ru_maxrss of a spawned child would carry
  // this process's own high-water mark across the exec.
  const int baseline = Run({self, kPeakMemoryOption, ""}, childOut, false);
  const long baselineHwm = std::strtol(ReadFile(childOut).c_str(), nullptr, 10);
  const int loaded = Run({self, kPeakMemoryOption, input}, childOut, false);
  const long loadedHwm = std::strtol(ReadFile(childOut).c_str(), nullptr, 10);
  if (baseline != 0 || loaded != 0 || baselineHwm <= 0 || loadedHwm <= 0) {
    std::printf("  peak memory: child failed\n");
    return false;
  }
  const double budgetMiB = static_cast<double>(inputBytes + image.size() + kMemorySlack) / 1048576.0;
  const double peakMiB = static_cast<double>(loadedHwm) / 1024.0;
  std::printf("  peak memory of LoadHexFile (VmHWM of a child process): %.1f MiB, of which %.1f "
              "MiB is the process before loading; budget file + image + 8 MiB = %.1f MiB: %s\n",
              peakMiB, static_cast<double>(baselineHwm) / 1024.0, budgetMiB,
              peakMiB <= budgetMiB ? "within" : "ABOVE");
  return correct;
}

class TempFolder {
 public:
  TempFolder() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr ? base : "/tmp") + "/vorna_bench_hex_XXXXXX";
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  ~TempFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], kPeakMemoryOption) == 0) return PeakMemoryChild(argv[2]);
  const int repetitions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;

  TempFolder folder;
  if (folder.path().empty()) {
    std::fprintf(stderr, "cannot create a temporary folder\n");
    return 1;
  }
  const std::vector<std::uint8_t> image = MakeImage();
  const std::string intelPath = (folder.path() / "image.hex").string();
  const std::string s3Path = (folder.path() / "image.s3").string();
  WriteFile(intelPath, IntelHexText(image));
  WriteFile(s3Path, S3Text(image));
  std::printf("16 MiB image, %zu-byte records, best of %d (srec_cat: 1 run)\n", kRecordBytes,
              repetitions);

  bool correct = BenchFile("Intel HEX", intelPath, "-Intel", "ihex", image, folder.path(), repetitions);
  correct = BenchFile("S3 records", s3Path, "-Motorola", "srec", image, folder.path(), repetitions) &&
            correct;
  return correct ? 0 : 1;
}
