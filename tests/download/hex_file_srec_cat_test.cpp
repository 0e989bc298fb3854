// The reader against srec_cat, an independent reader of the same formats, on
// generated well-formed files: the whole image from address 0 to the top,
// and the top itself, must agree.

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "download/hex_file.h"
#include "hex_test_support.h"
#include "support/hex_records.h"
#include "support/recording_sink.h"

extern char** environ;

namespace vorna::test {
namespace {

constexpr const char* kSrecCat = "srec_cat";

bool OnPath(const std::string& name) {
  const char* path = std::getenv("PATH");
  if (path == nullptr) return false;
  std::stringstream folders(path);
  for (std::string folder; std::getline(folders, folder, ':');) {
    if (!folder.empty() && ::access((folder + "/" + name).c_str(), X_OK) == 0) return true;
  }
  return false;
}

class SpawnFileActions {
 public:
  SpawnFileActions() { ::posix_spawn_file_actions_init(&actions_); }
  SpawnFileActions(const SpawnFileActions&) = delete;
  SpawnFileActions& operator=(const SpawnFileActions&) = delete;
  ~SpawnFileActions() { ::posix_spawn_file_actions_destroy(&actions_); }
  posix_spawn_file_actions_t* get() { return &actions_; }

 private:
  posix_spawn_file_actions_t actions_;
};

// Runs a program with fixed arguments, no shell; its output goes to `logPath`.
// Returns its exit status, or -1 when it could not run or was killed.
int RunTool(const std::vector<std::string>& args, const std::string& logPath) {
  SpawnFileActions actions;
  ::posix_spawn_file_actions_addopen(actions.get(), STDOUT_FILENO, logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ::posix_spawn_file_actions_adddup2(actions.get(), STDOUT_FILENO, STDERR_FILENO);
  std::vector<char*> argv;
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  if (::posix_spawnp(&pid, argv[0], actions.get(), nullptr, argv.data(), environ) != 0) return -1;
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// splitmix64: the corpus is the same on every run and every platform.
class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  std::uint64_t Next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // Uniform enough for a test corpus: 0 to bound - 1.
  std::uint32_t Below(std::uint32_t bound) { return static_cast<std::uint32_t>(Next() % bound); }
  std::vector<std::uint8_t> Data(std::uint32_t maxLength) {
    std::vector<std::uint8_t> data(1 + Below(maxLength));
    for (auto& byte : data) byte = static_cast<std::uint8_t>(Next());
    return data;
  }

 private:
  std::uint64_t state_;
};

enum class Format { kIntelHex, kS1, kS2, kS3, kSMixed };

struct GeneratedFile {
  std::string text;
  bool intel = false;
};

// Intel HEX with extended segment and linear addresses switching, start
// address records, gaps and overlaps. Data never crosses a 64 KiB offset
// boundary (segment arithmetic differs there between readers).
GeneratedFile IntelFile(Random& random, const std::string& lineEnd) {
  std::string text;
  const unsigned records = 20 + random.Below(180);
  for (unsigned i = 0; i < records; ++i) {
    switch (random.Below(12)) {
      case 0:
        text += IntelLinear(random.Below(4)) + lineEnd;
        break;
      case 1:
        text += IntelSegment(random.Below(0x4000)) + lineEnd;
        break;
      case 2:
        text += IntelHexLine(random.Below(2) == 0 ? 3 : 5, 0, {0, 0, 0x20, 0}) + lineEnd;
        break;
      default: {
        const std::vector<std::uint8_t> data = random.Data(32);
        // Clustered offsets give overlaps, spread ones give gaps.
        const std::uint32_t window = random.Below(2) == 0 ? 0x100 : 0x10000;
        const std::uint32_t offset =
            std::min<std::uint32_t>(random.Below(window), 0x10000 - static_cast<std::uint32_t>(data.size()));
        text += IntelData(offset, data) + lineEnd;
      }
    }
  }
  return {text + IntelEnd() + lineEnd, true};
}

GeneratedFile SRecordFile(Random& random, Format format, const std::string& lineEnd) {
  std::string text = SRecordLine(0, 0, {'v', 'o', 'r', 'n', 'a'}) + lineEnd;
  const unsigned records = 20 + random.Below(180);
  unsigned highestType = 1;
  for (unsigned i = 0; i < records; ++i) {
    unsigned type = 1;
    switch (format) {
      case Format::kS2:
        type = 2;
        break;
      case Format::kS3:
        type = 3;
        break;
      case Format::kSMixed:
        type = 1 + random.Below(3);
        break;
      default:
        break;
    }
    highestType = std::max(highestType, type);
    const std::vector<std::uint8_t> data = random.Data(32);
    const std::uint32_t limit = type == 1 ? 0x10000 : 0x60000;
    const std::uint32_t window = random.Below(2) == 0 ? 0x200 : limit;
    const std::uint32_t address =
        std::min<std::uint32_t>(random.Below(window), limit - static_cast<std::uint32_t>(data.size()));
    text += SRecordLine(type, address, data) + lineEnd;
  }
  text += SRecordLine(5, records, {}) + lineEnd;
  // S9 ends S1 files, S8 S2 files, S7 S3 files.
  return {text + SRecordLine(10 - highestType, 0, {}) + lineEnd, false};
}

TEST(HexFileAgainstSrecCat, SameImageAndTop) {
  if (!OnPath(kSrecCat)) GTEST_SKIP() << kSrecCat << " is not on PATH";
  TempFolder folder;
  const std::string log = (folder.path() / "srec_cat.log").string();
  const std::string unfilled = (folder.path() / "unfilled.bin").string();
  const std::string filled = (folder.path() / "filled.bin").string();
  Random random(0x766F726E61ull);
  constexpr int kFiles = 30;
  constexpr Format kFormats[] = {Format::kIntelHex, Format::kS1, Format::kS2, Format::kS3, Format::kSMixed};
  for (int n = 0; n < kFiles; ++n) {
    const Format format = kFormats[n % std::size(kFormats)];
    const std::string lineEnd = (n / std::size(kFormats)) % 2 == 0 ? "\n" : "\r\n";
    const GeneratedFile file =
        format == Format::kIntelHex ? IntelFile(random, lineEnd) : SRecordFile(random, format, lineEnd);
    SCOPED_TRACE("file " + std::to_string(n));
    const std::string input = folder.Write("input.txt", file.text);
    const std::string inputFormat = file.intel ? "-Intel" : "-Motorola";
    const std::vector<std::string> common = {kSrecCat, "-contradictory-bytes=ignore", "-redundant-bytes=ignore", input,
                                             inputFormat};

    // Unfilled binary output runs from address 0 to the highest address written.
    std::vector<std::string> args = common;
    args.insert(args.end(), {"-o", unfilled, "-Binary"});
    ASSERT_EQ(RunTool(args, log), 0) << ReadAll(log);
    const auto highest = std::filesystem::file_size(unfilled) - 1;
    const std::uint32_t expectedTop = static_cast<std::uint32_t>(highest) | 0xF;

    args = common;
    args.insert(args.end(),
                {"-fill", "0xFF", "0", std::to_string(std::uint64_t{expectedTop} + 1), "-o", filled, "-Binary"});
    ASSERT_EQ(RunTool(args, log), 0) << ReadAll(log);
    const std::string reference = ReadAll(filled);

    RecordingSink sink;
    HexImage image;
    ASSERT_EQ(LoadHexFile(input, image, sink), 0);
    EXPECT_TRUE(sink.entries.empty());
    ASSERT_EQ(image.topAddress, expectedTop);
    ASSERT_EQ(reference.size(), image.size());
    EXPECT_TRUE(std::equal(reference.begin(), reference.end(), image.bytes.get(), [](char a, std::uint8_t b) {
      return static_cast<std::uint8_t>(a) == b;
    })) << "image differs from srec_cat's";
  }
}

}  // namespace
}  // namespace vorna::test
