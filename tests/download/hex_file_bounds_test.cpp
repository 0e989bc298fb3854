// The hex reader's bound on the file length, its warning for files whose
// lines end in CR alone, and how the file is read: the text costs no memory
// of its own, and a file that cannot be mapped is read all the same.

#include <fcntl.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "download/hex_file.h"
#include "hex_test_support.h"
#include "support/hex_records.h"
#include "support/recording_sink.h"

namespace vorna::test {
namespace {

std::string Lines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

using Stream = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

Stream MemoryStream(std::string& text) { return {::fmemopen(text.data(), text.size(), "rb"), &std::fclose}; }

// A file of `length` bytes that begins with `head` and holds zero bytes (a
// hole, taking no disk) after it.
std::string SparseFile(const TempFolder& folder, const std::string& name, const std::string& head,
                       std::uint64_t length) {
  const std::string path = folder.Write(name, head);
  if (::truncate(path.c_str(), static_cast<off_t>(length)) != 0) ADD_FAILURE() << "truncate " << path;
  return path;
}

// Runs `body` in a child process and returns its exit status (-1 when it did
// not exit); the child's restrictions stay in the child.
int InChild(const std::function<int()>& body) {
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) ::_exit(body());
  int status = 0;
  if (pid < 0 || ::waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// ---------------------------------------------------------------------------
// A smaller image limit, as the fuzzer sets it: the same refusal at the
// given size instead of 64 MiB.

struct ImageLimitRow {
  const char* name;
  std::uint32_t limit;
  unsigned lastAddress;  // of the one data byte
  int result;
  const char* reason;  // for a refusal
};

class ImageLimit : public ::testing::TestWithParam<ImageLimitRow> {};

TEST_P(ImageLimit, RefusesAboveTheLimitGiven) {
  const ImageLimitRow& row = GetParam();
  std::string text = IntelData(row.lastAddress, {0x5A}) + "\n" + IntelEnd() + "\n";
  Stream stream = MemoryStream(text);
  ASSERT_NE(stream, nullptr);
  RecordingSink sink;
  HexImage image;
  EXPECT_EQ(LoadHexStream(stream.get(), static_cast<std::int64_t>(text.size()), image, sink, row.limit), row.result);
  if (row.result == 0) {
    EXPECT_TRUE(sink.entries.empty());
    EXPECT_EQ(image.topAddress, (row.lastAddress | 0xFu));
  } else {
    ASSERT_EQ(sink.entries.size(), 1u);
    EXPECT_EQ(sink.entries[0].text, "Memory allocation error.");
    EXPECT_EQ(sink.entries[0].reason, row.reason);
    EXPECT_EQ(image.bytes, nullptr);
  }
}

INSTANTIATE_TEST_SUITE_P(Rows, ImageLimit,
                         ::testing::Values(ImageLimitRow{"LastLineFillsTheLimit", 0x100, 0xFF, 0, ""},
                                           ImageLimitRow{"OneLineAboveTheLimit", 0x100, 0x100, -1,
                                                         "image of 272 bytes is above the limit of 256 bytes"},
                                           ImageLimitRow{"UserWindowUnderASmallLimit", 0x4000, 0x3FFF, 0, ""},
                                           ImageLimitRow{"DefaultSizedImageUnderASmallLimit", 0x4000, 0x4000, -1,
                                                         "image of 16400 bytes is above the limit of 16384 bytes"}),
                         [](const ::testing::TestParamInfo<ImageLimitRow>& info) {
                           return std::string(info.param.name);
                         });

// ---------------------------------------------------------------------------
// The bound on the file length

TEST(HexFileLength, StreamAboveTheBoundIsRefusedBeforeReading) {
  std::string text = IntelData(0x10, {1}) + "\n";
  Stream stream = MemoryStream(text);
  ASSERT_NE(stream, nullptr);
  RecordingSink sink;
  HexImage image;
  image.topAddress = 0x77;
  EXPECT_EQ(LoadHexStream(stream.get(), static_cast<std::int64_t>(HEX_FILE_LENGTH_LIMIT) + 1, image, sink), -1);
  ASSERT_EQ(sink.entries.size(), 1u);
  EXPECT_EQ(sink.entries[0].text, "Memory allocation error.");
  EXPECT_EQ(sink.entries[0].reason, "file of 268435457 bytes is above the limit of 268435456 bytes for a hex file");
  EXPECT_EQ(image.topAddress, 0x77u);
  EXPECT_EQ(image.bytes, nullptr);
  EXPECT_EQ(std::ftell(stream.get()), 0) << "nothing is read";
}

TEST(HexFileLength, StreamOfExactlyTheBoundLoads) {
  static_assert(HEX_FILE_LENGTH_LIMIT == 256u * 1024u * 1024u);
  // The stream ends long before its stated length, as a file that shrank.
  std::string text = IntelData(0x10, {1}) + "\n";
  Stream stream = MemoryStream(text);
  ASSERT_NE(stream, nullptr);
  RecordingSink sink;
  HexImage image;
  EXPECT_EQ(LoadHexStream(stream.get(), static_cast<std::int64_t>(HEX_FILE_LENGTH_LIMIT), image, sink), 0);
  EXPECT_TRUE(sink.entries.empty());
  EXPECT_EQ(image.topAddress, 0x1Fu);
}

TEST(HexFileLength, FileAboveTheBoundIsRefusedWithItsLength) {
  TempFolder folder;
  const std::string path =
      SparseFile(folder, "huge.hex", IntelData(0x10, {1}) + "\n", std::uint64_t{4} * 1024 * 1024 * 1024);
  RecordingSink sink;
  HexImage image;
  EXPECT_EQ(LoadHexFile(path, image, sink), -1);
  ASSERT_EQ(sink.entries.size(), 1u);
  EXPECT_EQ(sink.entries[0].text, "Memory allocation error.");
  EXPECT_EQ(sink.entries[0].reason, "file of 4294967296 bytes is above the limit of 268435456 bytes for a hex file");
  EXPECT_EQ(image.bytes, nullptr);
}

TEST(HexFileLength, FileOneByteAboveTheBoundIsRefused) {
  TempFolder folder;
  const std::string path = SparseFile(folder, "over.hex", IntelData(0x10, {1}) + "\n", HEX_FILE_LENGTH_LIMIT + 1);
  RecordingSink sink;
  HexImage image;
  EXPECT_EQ(LoadHexFile(path, image, sink), -1);
  ASSERT_EQ(sink.entries.size(), 1u);
  EXPECT_EQ(sink.entries[0].text, "Memory allocation error.");
}

// ---------------------------------------------------------------------------
// Line ends: the warning for CR alone

struct LineEndCase {
  std::string name;
  std::string content;
  std::uint32_t topAddress;
  std::size_t records;
  std::string warning;
};

void PrintTo(const LineEndCase& c, std::ostream* os) { *os << c.name; }

class HexLineEndTest : public testing::TestWithParam<LineEndCase> {};

std::string FourRecords(const std::string& end) {
  std::string text;
  for (unsigned i = 0; i < 4; ++i) text += IntelData(0x2000 + 16 * i, CountingBytes(16 * i, 16)) + end;
  return text + IntelEnd() + end;
}

// A record padded with comment characters to fill one piece exactly, so that
// the next piece begins with the next record.
std::string PieceOf(const std::string& record, const std::string& end) {
  return record + std::string(HEX_LINE_BUFFER_SIZE - 1 - record.size() - end.size(), '.') + end;
}

TEST_P(HexLineEndTest, ReportsRecordsAndLineEnds) {
  const LineEndCase& c = GetParam();
  TempFolder folder;
  const std::string path = folder.Write("lines.hex", c.content);
  RecordingSink sink;
  HexImage image;
  ASSERT_EQ(LoadHexFile(path, image, sink), 0);
  EXPECT_TRUE(sink.entries.empty()) << "a warning is no message";
  EXPECT_EQ(image.topAddress, c.topAddress);
  EXPECT_EQ(image.lines.records, c.records);
  EXPECT_EQ(HexLineEndWarning(image.lines), c.warning);

  std::string text = c.content;
  Stream stream = MemoryStream(text);
  ASSERT_NE(stream, nullptr);
  HexImage read;
  ASSERT_EQ(LoadHexStream(stream.get(), static_cast<std::int64_t>(text.size()), read, sink), 0);
  EXPECT_EQ(read.lines.records, c.records);
  EXPECT_EQ(HexLineEndWarning(read.lines), c.warning);
}

INSTANTIATE_TEST_SUITE_P(
    LineEnds, HexLineEndTest,
    testing::Values(
        // Text mode reads one line: its first record, and nothing after it.
        LineEndCase{"CrOnly", FourRecords("\r"), 0x200F, 1,
                    "the hex file has no LF line ends (its lines end in CR alone); 1 record was read"},
        LineEndCase{"CrOnlyRecordsAtPieceStarts",
                    PieceOf(IntelData(0x2000, {1}), "\r") + PieceOf(IntelData(0x2010, {2}), "\r") +
                        IntelData(0x2020, {3}) + "\r",
                    0x202F, 3, "the hex file has no LF line ends (its lines end in CR alone); 3 records were read"},
        LineEndCase{"CrOnlyWithoutRecords", ";comment\r;comment\r", 0xF, 0,
                    "the hex file has no LF line ends (its lines end in CR alone); 0 records were read"},
        LineEndCase{"Lf", FourRecords("\n"), 0x203F, 5, ""}, LineEndCase{"CrLf", FourRecords("\r\n"), 0x203F, 5, ""},
        LineEndCase{"CrOnlyButOneLf", FourRecords("\r") + "\n", 0x200F, 1, ""},
        LineEndCase{"NoLineEndAtAll", IntelData(0x2000, {1}), 0x200F, 1, ""}, LineEndCase{"Empty", "", 0xF, 0, ""},
        LineEndCase{"CrAfterEndRecordNotSeen", Lines({IntelData(0x2000, {1}), IntelEnd()}) + "\r", 0x200F, 2, ""}),
    [](const testing::TestParamInfo<LineEndCase>& info) { return info.param.name; });

// ---------------------------------------------------------------------------
// Mapping

std::size_t VmDataBytes() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmData:", 0) == 0) return std::strtoull(line.c_str() + 7, nullptr, 10) * 1024;
  }
  return 0;
}

// A file far larger than the memory the process may still take loads: the
// text is read through a small window, not copied into memory of its own.
TEST(HexFileMapping, TextTakesNoMemoryOfItsOwn) {
  constexpr std::uint64_t kFileLength = std::uint64_t{64} * 1024 * 1024;
  constexpr std::size_t kHeadroom = std::size_t{16} * 1024 * 1024;
  TempFolder folder;
  const std::string path = SparseFile(folder, "large.hex", Lines({IntelData(0x2000, {7})}), kFileLength);
  const int status = InChild([&] {
    // The data limit counts every private writable mapping, the heap among
    // them, but not a read-only mapping of a file.
    const rlimit limit{VmDataBytes() + kHeadroom, RLIM_INFINITY};
    if (::setrlimit(RLIMIT_DATA, &limit) != 0) return 10;
    RecordingSink sink;
    HexImage image;
    if (LoadHexFile(path, image, sink) != 0) return 11;
    return image.topAddress == 0x200F && image.bytes[0x2000] == 7 ? 0 : 12;
  });
  EXPECT_EQ(status, 0) << "10: setrlimit failed, 11: the load failed, 12: wrong image";
}

// Refuses every mapping of a file with ENODEV, as a file system without
// mmap does; anonymous memory stays available.
bool RefuseFileMappings() {
  sock_filter filter[] = {
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, __NR_mmap, 0, 3),
      // The low half of the descriptor argument; -1 for anonymous memory.
      BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args[4])),
      BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, 0xFFFFFFFFu, 1, 0),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | ENODEV),
      BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
  };
  const sock_fprog program{static_cast<unsigned short>(std::size(filter)), filter};
  return ::prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 && ::prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) == 0;
}

TEST(HexFileMapping, FileThatCannotBeMappedIsRead) {
  TempFolder folder;
  std::string content = IntelLinear(1) + "\r\n" + IntelData(0x10, CountingBytes(1, 16)) + "\r\n";
  for (unsigned i = 0; i < 2000; ++i) content += SRecordLine(1, 0x2000 + 4 * i, CountingBytes(i, 4)) + "\n";
  content += std::string(600, 'x') + IntelData(0x30, {9}) + "\n" + "S9030000FC\n";
  const std::string path = folder.Write("program.hex", content);
  RecordingSink sink;
  HexImage mapped;
  ASSERT_EQ(LoadHexFile(path, mapped, sink), 0);
  const std::vector<std::uint8_t> expected = ImageBytes(mapped);

  const int status = InChild([&] {
    if (!RefuseFileMappings()) return 10;
    const int fd = ::open(path.c_str(), O_RDONLY);
    void* probe = ::mmap(nullptr, 4096, PROT_READ, MAP_PRIVATE, fd, 0);
    if (probe != MAP_FAILED || errno != ENODEV) return 11;
    ::close(fd);
    RecordingSink childSink;
    HexImage read;
    if (LoadHexFile(path, read, childSink) != 0 || !childSink.entries.empty()) return 12;
    return ImageBytes(read) == expected ? 0 : 13;
  });
  EXPECT_EQ(status, 0) << "10: no seccomp, 11: the file could still be mapped, 12: the load failed, 13: "
                          "another image";
}

}  // namespace
}  // namespace vorna::test
