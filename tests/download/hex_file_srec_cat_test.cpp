// The reader against srec_cat, an independent reader of the same formats, on
// generated well-formed files: the whole image from address 0 to the top,
// and the top itself, must agree; and on damaged copies, which records carry
// a wrong checksum. srec_cat comes with Debian's srecord package; without it
// the comparisons fail rather than pass unchecked.

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
#include <regex>
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
  ASSERT_TRUE(OnPath(kSrecCat)) << kSrecCat << " is not on PATH (install srecord)";
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

// Records of each type a format has, data inside the user program window so
// that a checksum is all the check can find. Without line ends.
std::vector<std::string> WindowRecords(Random& random, bool intel, std::vector<std::size_t>& dataLines) {
  std::vector<std::string> lines;
  if (!intel) lines.push_back(SRecordLine(0, 0, {'v'}));
  unsigned highestType = 1;
  for (unsigned i = 20 + random.Below(60); i > 0; --i) {
    const unsigned kind = random.Below(8);
    const unsigned type = intel ? 0 : 1 + kind % 3;
    highestType = std::max(highestType, type);
    if (intel && kind < 3) {
      lines.push_back(kind == 0 ? IntelLinear(0) : kind == 1 ? IntelSegment(0) : IntelHexLine(5, 0, {0, 0, 0x20, 0}));
      continue;
    }
    dataLines.push_back(lines.size());
    const std::vector<std::uint8_t> data = random.Data(32);
    const std::uint32_t address = 0x2000 + random.Below(0x2000 - 32);
    lines.push_back(intel ? IntelData(address, data) : SRecordLine(type, address, data));
    if (random.Below(4) == 0)
      for (char& c : lines.back()) c = c >= 'A' && c <= 'F' ? static_cast<char>(c - 'A' + 'a') : c;
  }
  if (!intel) lines.push_back(SRecordLine(5, static_cast<std::uint32_t>(lines.size() - 1), {}));
  lines.push_back(intel ? IntelEnd() : SRecordLine(10 - highestType, 0, {}));
  return lines;
}

// srec_cat stops at the first wrong checksum: each line it names is put
// right in turn until it takes the file, and the lines named so are its
// judgement, to agree with every problem the check finds.
TEST(HexCheckAgainstSrecCat, SameRecordsHaveWrongChecksums) {
  ASSERT_TRUE(OnPath(kSrecCat)) << kSrecCat << " is not on PATH (install srecord)";
  TempFolder folder;
  const std::string log = (folder.path() / "srec_cat.log").string();
  Random random(0x636865636Bull);
  for (int n = 0; n < 24; ++n) {
    SCOPED_TRACE("file " + std::to_string(n));
    const bool intel = n % 2 == 0;
    const std::string lineEnd = n % 3 == 0 ? "\r\n" : "\n";
    std::vector<std::size_t> dataLines;
    const std::vector<std::string> original = WindowRecords(random, intel, dataLines);
    std::vector<std::string> lines = original;
    // A digit of the last data byte or of the checksum becomes another one.
    for (unsigned damaged = random.Below(7); damaged > 0; --damaged) {
      std::string& line = lines[dataLines[random.Below(static_cast<std::uint32_t>(dataLines.size()))]];
      char& digit = line[line.size() - 1 - random.Below(4)];
      digit = "0123456789ABCDEF"[(HexFieldValue(std::string(1, digit), 1) + 1 + random.Below(15)) % 16];
    }
    const auto write = [&] {
      std::string text;
      for (const std::string& line : lines) text += line + lineEnd;
      return folder.Write("damaged.hex", text);
    };
    RecordingSink sink;
    HexImage image;
    ASSERT_EQ(LoadHexFile(write(), image, sink), 0);
    std::vector<std::size_t> ours;
    for (const HexProblem& problem : image.content.problems) {
      EXPECT_EQ(problem.kind, HexProblemKind::Checksum) << problem.text;
      ours.push_back(problem.line);
    }
    std::vector<std::size_t> theirs;
    const std::regex mismatch(R"(: (\d+): checksum mismatch)");
    while (RunTool({kSrecCat, "-contradictory-bytes=ignore", "-redundant-bytes=ignore", write(),
                    intel ? "-Intel" : "-Motorola", "-o", (folder.path() / "out.bin").string(), "-Binary"},
                   log) != 0) {
      std::smatch found;
      const std::string said = ReadAll(log);
      ASSERT_TRUE(std::regex_search(said, found, mismatch)) << said;
      theirs.push_back(std::stoul(found[1].str()));
      ASSERT_LT(theirs.size(), 8u) << said;
      lines[theirs.back() - 1] = original[theirs.back() - 1];
    }
    EXPECT_EQ(ours, theirs);
  }
}

}  // namespace
}  // namespace vorna::test
