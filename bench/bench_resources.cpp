// Peak memory and time of the readers on hostile files: a hex file whose
// top address is 0xFFFFFFF0, hex files of one line without a line feed (at
// the bound on a hex file's length and one byte above it), a sparse 4 GiB
// file, files of nothing but comment lines, huge settings files (sections,
// binary junk, blank lines at and far beyond the size cap), and settings
// files that are a FIFO or a link to /dev/zero, each read and updated.
// Each case runs in a freshly started copy of this program, which reports
// its time and its peak resident memory (VmHWM); the files are made in a
// scratch folder and deleted after their case.
//
// Run: bench_resources [scratch folder]   (default: $TMPDIR or /tmp)
// Needs about 256 MiB of disk for the largest file.

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
#include <functional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "app/settings/settings_file.h"
#include "download/hex_file.h"
#include "support/recording_sink.h"
#include "support/temp_folder.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr std::uint64_t MIB = 1024 * 1024;
constexpr std::size_t WRITE_BLOCK = 1 << 20;
constexpr const char* CHILD_FLAG = "--case";

enum class Reader { Nothing, kHex, kSettings, kSettingsUpdate };
// What the input is when it is not a file made from `fill` or `fixed`.
enum class Special { None, kFifo, kLinkToDevZero };

struct Case {
  const char* name;
  Reader reader;
  std::uint64_t size;  // bytes to generate
  // Fills `block` with the bytes from `offset` on; none for a sparse file.
  std::function<void(std::uint64_t offset, std::string& block)> fill;
  const char* fixed = nullptr;  // a small file given whole instead
  Special special = Special::None;
};

// Room left below the cap for the settings appended at the end.
constexpr std::uint64_t SETTINGS_TAIL_ROOM = 64;

// A record-like text with no line feed: every piece the reader cuts from it
// starts at another place in the pattern.
void OneLine(std::uint64_t offset, std::string& block) {
  static constexpr std::string_view PATTERN = ":10200000000102030405060708090A0B0C0D0E0F68";
  for (std::size_t i = 0; i < block.size(); ++i) block[i] = PATTERN[(offset + i) % PATTERN.size()];
}

// The worst case for a reader that keeps a record per line.
void BlankLines(std::uint64_t, std::string& block) { std::fill(block.begin(), block.end(), '\n'); }

void CommentLines(std::uint64_t offset, std::string& block) {
  static constexpr std::string_view LINE = "; a comment line that the reader keeps and then passes over.....\n";
  for (std::size_t i = 0; i < block.size(); ++i) block[i] = LINE[(offset + i) % LINE.size()];
}

// Many sections of keys, and the program's own section at the very end.
void ManySections(std::uint64_t offset, std::string& block) {
  static constexpr std::string_view LINES = "[Section]\nKey=a value of some length\nOther=1\n\n";
  for (std::size_t i = 0; i < block.size(); ++i) block[i] = LINES[(offset + i) % LINES.size()];
}

void Junk(std::uint64_t offset, std::string& block) {
  std::mt19937_64 random(offset);
  for (std::size_t i = 0; i < block.size(); i += sizeof(std::uint64_t)) {
    const std::uint64_t word = random();
    std::memcpy(block.data() + i, &word, std::min(sizeof word, block.size() - i));
  }
}

// Extended linear address 0xFFFF, then one byte at offset 0xFFF0.
constexpr const char* TOP_OF_RANGE = ":02000004FFFFFC\n:01FFF00042CE\n:00000001FF\n";

const std::vector<Case> CASES = {
    {"process alone (baseline)", Reader::Nothing, 0, nullptr, ""},
    {"hex: top address 0xFFFFFFF0", Reader::kHex, 0, nullptr, TOP_OF_RANGE},
    {"hex: one line, no LF, 256 MiB", Reader::kHex, 256 * MIB, OneLine},
    {"hex: one line, 256 MiB + 1 byte", Reader::kHex, 256 * MIB + 1, OneLine},
    {"hex: sparse, 4 GiB", Reader::kHex, 4096 * MIB, nullptr},
    {"hex: comment lines, 50 MiB", Reader::kHex, 50 * MIB, CommentLines},
    {"hex: comment lines, 200 MiB", Reader::kHex, 200 * MIB, CommentLines},
    {"settings: 100 MiB of sections", Reader::kSettings, 100 * MIB, ManySections},
    {"settings: 100 MiB of binary junk", Reader::kSettings, 100 * MIB, Junk},
    {"settings: blank lines up to the cap", Reader::kSettings, vorna::SETTINGS_FILE_SIZE_LIMIT - SETTINGS_TAIL_ROOM,
     BlankLines},
    {"update: blank lines up to the cap", Reader::kSettingsUpdate, vorna::SETTINGS_FILE_SIZE_LIMIT - SETTINGS_TAIL_ROOM,
     BlankLines},
    {"settings: 100 MiB of blank lines", Reader::kSettings, 100 * MIB, BlankLines},
    {"update: 100 MiB of blank lines", Reader::kSettingsUpdate, 100 * MIB, BlankLines},
    {"settings: a FIFO", Reader::kSettings, 0, nullptr, nullptr, Special::kFifo},
    {"update: a FIFO", Reader::kSettingsUpdate, 0, nullptr, nullptr, Special::kFifo},
    {"settings: a link to /dev/zero", Reader::kSettings, 0, nullptr, nullptr, Special::kLinkToDevZero},
    {"update: a link to /dev/zero", Reader::kSettingsUpdate, 0, nullptr, nullptr, Special::kLinkToDevZero},
};

std::uint64_t PeakResidentKib() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmHWM:", 0) == 0) return std::strtoull(line.c_str() + 6, nullptr, 10);
  }
  return 0;
}

// The child: runs one reader on `path` and prints "<ns> <peak KiB> <result>".
int RunCase(Reader reader, const std::string& path) {
  std::string result;
  const auto start = Clock::now();
  switch (reader) {
    case Reader::Nothing:
      result = "-";
      break;
    case Reader::kHex: {
      vorna::RecordingSink sink;
      vorna::HexImage image;
      const int status = vorna::LoadHexFile(path, image, sink);
      result = status == 0 ? "image of " + std::to_string(image.size()) + " bytes" : sink.entries.at(0).text;
      break;
    }
    case Reader::kSettings: {
      const int com = vorna::ReadProfileInt(path, "SETTING", "COM", 1);
      const std::string file = vorna::ReadProfileString(path, "SETTING", "FILE", "");
      result = "COM " + std::to_string(com) + ", FILE of " + std::to_string(file.size()) + " characters";
      break;
    }
    case Reader::kSettingsUpdate: {
      const bool written = vorna::WriteProfileStrings(path, "SETTING", {{"COM", "7"}, {"FILE", "/new.hex"}});
      result = written ? "written" : "not written";
      break;
    }
  }
  const auto took = std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now() - start).count();
  std::printf("%lld %llu %s\n", static_cast<long long>(took), static_cast<unsigned long long>(PeakResidentKib()),
              result.c_str());
  return 0;
}

void Generate(const Case& c, const fs::path& path) {
  if (c.special == Special::kFifo) {
    if (::mkfifo(path.c_str(), 0600) != 0) throw std::runtime_error("cannot make a FIFO");
    return;
  }
  if (c.special == Special::kLinkToDevZero) {
    fs::create_symlink("/dev/zero", path);
    return;
  }
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (c.fixed != nullptr) {
    out << c.fixed;
  } else if (!c.fill) {
    out.close();
    fs::resize_file(path, c.size);  // a hole: no disk, and zero bytes to read
  } else {
    std::string block(WRITE_BLOCK, '\0');
    for (std::uint64_t offset = 0; offset < c.size; offset += block.size()) {
      block.resize(static_cast<std::size_t>(std::min<std::uint64_t>(WRITE_BLOCK, c.size - offset)));
      c.fill(offset, block);
      out.write(block.data(), static_cast<std::streamsize>(block.size()));
    }
    if (c.reader == Reader::kSettings || c.reader == Reader::kSettingsUpdate)
      out << "\n[SETTING]\nCOM=5\nFILE=/at/the/end.hex\n";
  }
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

struct Measured {
  double milliseconds = 0;
  double peakMib = 0;
  std::string result;
};

// Runs the case in a fresh copy of this program.
Measured Spawn(const Case& c, const fs::path& path) {
  int pipeEnds[2];
  if (::pipe(pipeEnds) != 0) throw std::runtime_error("pipe failed");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
  std::string self = fs::read_symlink("/proc/self/exe").string();
  std::string flag = CHILD_FLAG;
  std::string reader = std::to_string(static_cast<int>(c.reader));
  std::string file = path.string();
  char* argv[] = {self.data(), flag.data(), reader.data(), file.data(), nullptr};
  pid_t pid = -1;
  const int error = ::posix_spawn(&pid, self.c_str(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipeEnds[1]);
  if (error != 0) throw std::runtime_error("posix_spawn failed");
  std::string output;
  char buffer[256];
  for (ssize_t n; (n = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0;)
    output.append(buffer, static_cast<std::size_t>(n));
  ::close(pipeEnds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    return {0, 0, "CRASHED (wait status " + std::to_string(status) + ")"};
  }
  Measured m;
  long long nanoseconds = 0;
  unsigned long long peakKib = 0;
  int consumed = 0;
  std::sscanf(output.c_str(), "%lld %llu %n", &nanoseconds, &peakKib, &consumed);
  m.milliseconds = static_cast<double>(nanoseconds) / 1e6;
  m.peakMib = static_cast<double>(peakKib) / 1024.0;
  m.result = output.substr(static_cast<std::size_t>(consumed));
  if (!m.result.empty() && m.result.back() == '\n') m.result.pop_back();
  return m;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::string_view(argv[1]) == CHILD_FLAG) {
    return RunCase(static_cast<Reader>(std::atoi(argv[2])), argv[3]);
  }
  const fs::path base = argc > 1 ? fs::path(argv[1]) : fs::temp_directory_path();
  const vorna::test::TempFolder scratch("vorna-bench-resources", base);
  const fs::path& folder = scratch.path();

  std::printf("%-34s %12s %10s %9s %10s %11s  %s\n", "case", "file bytes", "time ms", "ns/byte", "peak MiB",
              "over file", "result");
  double baselineMib = 0;
  int crashes = 0;
  for (const Case& c : CASES) {
    const fs::path path = folder / "input";
    Generate(c, path);
    const std::uint64_t fileBytes = fs::is_regular_file(fs::symlink_status(path)) ? fs::file_size(path) : 0;
    const Measured m = Spawn(c, path);
    fs::remove(path);
    if (c.reader == Reader::Nothing) baselineMib = m.peakMib;
    crashes += m.result.rfind("CRASHED", 0) == 0 ? 1 : 0;
    const double overFile = m.peakMib - baselineMib - static_cast<double>(fileBytes) / MIB;
    const double perByte = fileBytes > 0 ? m.milliseconds * 1e6 / static_cast<double>(fileBytes) : 0;
    std::printf("%-34s %12llu %10.1f %9.2f %10.1f %+11.1f  %s\n", c.name, static_cast<unsigned long long>(fileBytes),
                m.milliseconds, perByte, m.peakMib, overFile, m.result.c_str());
    std::fflush(stdout);
  }
  std::printf(
      "\"over file\" is the peak less the baseline process and the file's size, in MiB. A hex file is\n"
      "mapped: its pages count in the peak as page cache, not as memory of the process's own.\n");
  return crashes == 0 ? 0 : 1;
}
