// The hex file reader's failures as the POSIX file system makes them
// (permissions, devices, FIFOs, a file used as a folder), and its stream
// entry point over streams that only the GNU C library makes.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "download/hex_file.h"
#include "hex_test_support.h"
#include "support/hex_records.h"
#include "support/recording_sink.h"
#include "support/unprivileged.h"

namespace vorna::test {
namespace {

std::string Lines(const std::vector<std::string>& lines, const std::string& end = "\n") {
  std::string text;
  for (const std::string& line : lines) text += line + end;
  return text;
}

// ---------------------------------------------------------------------------
// Failures: one message each, the image as the caller gave it, and the
// reader works again afterwards

struct FailureCase {
  std::string name;
  // Makes the path to load inside the folder; "skip" when the case cannot be
  // set up here.
  std::function<std::string(const TempFolder&)> makePath;
  std::string message;
  std::string reasonPart;
  // A refused permission: root would pass it, so the load runs as an
  // ordinary user.
  bool asOrdinaryUser = false;
};

void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.name; }

void ExpectOneFailure(const FailureCase& c, const TempFolder& folder, const std::string& path) {
  RecordingSink sink;
  HexImage image;
  image.topAddress = 0x77;
  auto block = std::make_unique<std::uint8_t[]>(4);
  const std::uint8_t* const given = block.get();
  image.bytes = std::move(block);

  EXPECT_EQ(LoadHexFile(path, image, sink), -1);
  ASSERT_EQ(sink.entries.size(), 1u);
  EXPECT_EQ(sink.entries[0].text, c.message);
  EXPECT_NE(sink.entries[0].reason.find(c.reasonPart), std::string::npos) << "reason: " << sink.entries[0].reason;
  EXPECT_EQ(image.topAddress, 0x77u);
  EXPECT_EQ(image.bytes.get(), given);

  HexImage next;
  EXPECT_EQ(LoadHexFile(folder.Write("good.hex", Lines({IntelData(0x2000, {1})})), next, sink), 0);
  EXPECT_EQ(sink.entries.size(), 1u);
  EXPECT_EQ(next.topAddress, 0x200Fu);
}

class HexFailureTest : public testing::TestWithParam<FailureCase> {};

TEST_P(HexFailureTest, ReportsOneMessageAndLeavesImage) {
  const FailureCase& c = GetParam();
  TempFolder folder;
  const std::string path = c.makePath(folder);
  if (path == "skip") GTEST_SKIP() << "cannot set up this case here";
  if (c.asOrdinaryUser) {
    GiveToUnprivileged(folder.path().string());
    RunUnprivileged([&] { ExpectOneFailure(c, folder, path); });
  } else {
    ExpectOneFailure(c, folder, path);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Failures, HexFailureTest,
    testing::Values(
        FailureCase{"EmptyPath", [](const TempFolder&) { return std::string(); }, "select hex file.", ""},
        FailureCase{"MissingFile", [](const TempFolder& f) { return (f.path() / "missing.hex").string(); },
                    "file open error.", "No such file or directory"},
        FailureCase{"Directory", [](const TempFolder& f) { return f.path().string(); }, "file open error.",
                    "Is a directory"},
        FailureCase{"FileUsedAsFolder", [](const TempFolder& f) { return f.Write("plain.hex", "") + "/inner.hex"; },
                    "file open error.", "Not a directory"},
        FailureCase{"Unreadable",
                    [](const TempFolder& f) {
                      const std::string path = f.Write("locked.hex", Lines({IntelEnd()}));
                      EXPECT_EQ(::chmod(path.c_str(), 0), 0) << path;
                      return path;
                    },
                    "file open error.", "Permission denied", true},
        FailureCase{"CharacterDevice", [](const TempFolder&) { return std::string("/dev/null"); }, "_filelength error.",
                    "not a regular file"},
        FailureCase{"Fifo",
                    [](const TempFolder& f) {
                      const std::string path = (f.path() / "pipe.hex").string();
                      return ::mkfifo(path.c_str(), 0600) == 0 ? path : std::string("skip");
                    },
                    "_filelength error.", "not a regular file"},
        FailureCase{"ImageTooLarge",
                    [](const TempFolder& f) { return f.Write("huge.hex", Lines({SRecordLine(3, 0xFFFFFFF0, {1})})); },
                    "Memory allocation error.", "bytes"}),
    [](const testing::TestParamInfo<FailureCase>& info) { return info.param.name; });

// ---------------------------------------------------------------------------
// A file that another program cuts short after it was measured: the load
// fails with one message, whatever the reader had read of it.

TEST(LoadHexDescriptor, FileCutShortAfterItWasMeasuredFails) {
  std::string content;
  for (unsigned i = 0; i < 4096; ++i) content += IntelData(0x2000 + 16 * (i % 64), CountingBytes(i, 16)) + "\n";
  for (const std::size_t keep : {std::size_t{0}, content.size() / 2, content.size() - 1}) {
    TempFolder folder;
    const std::string path = folder.Write("cut.hex", content);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(keep)), 0);
    RecordingSink sink;
    HexImage image;
    EXPECT_EQ(LoadHexDescriptor(fd, static_cast<std::int64_t>(content.size()), image, sink), -1) << keep;
    ::close(fd);
    ASSERT_EQ(sink.entries.size(), 1u) << keep;
    EXPECT_EQ(sink.entries[0].text, "_filelength error.");
    EXPECT_EQ(sink.entries[0].reason, "the file changed while it was read");
    EXPECT_EQ(image.bytes, nullptr);
  }
}

// ---------------------------------------------------------------------------
// The stream entry point

struct StreamCloser {
  void operator()(std::FILE* stream) const { std::fclose(stream); }
};
using Stream = std::unique_ptr<std::FILE, StreamCloser>;

Stream MemoryStream(std::string& text) { return Stream(::fmemopen(text.data(), text.size(), "rb")); }

TEST(LoadHexStream, ReadsNoMoreThanTheFileLength) {
  const std::string first = IntelData(0x10, {1}) + "\n";
  std::string text = first + IntelData(0x4000, {2}) + "\n";
  Stream stream = MemoryStream(text);
  ASSERT_NE(stream, nullptr);
  RecordingSink sink;
  HexImage image;
  ASSERT_EQ(LoadHexStream(stream.get(), static_cast<std::int64_t>(first.size()), image, sink), 0);
  EXPECT_TRUE(sink.entries.empty());
  EXPECT_EQ(image.topAddress, 0x1Fu);
}

TEST(LoadHexStream, CutAtTheFileLengthReadsAsLastLineWithoutLineEnd) {
  std::string text = IntelData(0x10, {1, 2}) + "\n";
  Stream stream = MemoryStream(text);
  ASSERT_NE(stream, nullptr);
  RecordingSink sink;
  HexImage image;
  // ":02001000" and the first data byte only.
  ASSERT_EQ(LoadHexStream(stream.get(), 11, image, sink), 0);
  EXPECT_EQ(ImageBytes(image), ExpectedImage(0x1F, {{0x10, {1, 0}}}));
}

TEST(LoadHexStream, NegativeLengthIsALengthError) {
  std::string text = IntelEnd();
  Stream stream = MemoryStream(text);
  ASSERT_NE(stream, nullptr);
  RecordingSink sink;
  HexImage image;
  EXPECT_EQ(LoadHexStream(stream.get(), -1, image, sink), -1);
  ASSERT_EQ(sink.entries.size(), 1u);
  EXPECT_EQ(sink.entries[0].text, "_filelength error.");
  EXPECT_EQ(image.bytes, nullptr);
}

// A stream that gives `limit` bytes of `text` and then fails.
struct FailingSource {
  std::string text;
  std::size_t limit;
  std::size_t position = 0;
};

ssize_t ReadThenFail(void* cookie, char* buffer, std::size_t size) {
  auto* source = static_cast<FailingSource*>(cookie);
  if (source->position >= source->limit) {
    errno = EIO;
    return -1;
  }
  const std::size_t count = std::min(size, source->limit - source->position);
  std::memcpy(buffer, source->text.data() + source->position, count);
  source->position += count;
  return static_cast<ssize_t>(count);
}

TEST(LoadHexStream, ReadErrorEndsTheFirstPassLikeEndOfFile) {
  const std::string whole = IntelData(0x10, {1}) + "\n" + IntelData(0x20, {2}) + "\n";
  FailingSource source{whole + IntelData(0x4000, {3}) + "\n", whole.size() + 5};
  cookie_io_functions_t functions{};
  functions.read = ReadThenFail;
  Stream stream(::fopencookie(&source, "rb", functions));
  ASSERT_NE(stream, nullptr);
  RecordingSink sink;
  HexImage image;
  ASSERT_EQ(LoadHexStream(stream.get(), static_cast<std::int64_t>(source.text.size()), image, sink), 0);
  EXPECT_TRUE(sink.entries.empty());
  // The line the error cut short is dropped, as fgets drops it.
  EXPECT_EQ(ImageBytes(image), ExpectedImage(0x2F, {{0x10, {1}}, {0x20, {2}}}));
}

}  // namespace
}  // namespace vorna::test
