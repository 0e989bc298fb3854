// The hex file reader on arbitrary file content, through LoadHexStream: it
// reads the stream into memory and runs the two passes that LoadHexFile runs
// over the file read through a window.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

#include "download/hex_file.h"
#include "fuzz_check.h"
#include "support/recording_sink.h"

namespace {

// Every image a run builds is allocated and filled, so the 64 MiB limit
// would make a 42-byte input cost a quarter of a second. The reader is the
// product's; only the limit is smaller, well above the board's 16 KiB.
constexpr std::uint32_t FUZZ_IMAGE_SIZE_LIMIT = 1024u * 1024u;

struct FileCloser {
  void operator()(std::FILE* stream) const { std::fclose(stream); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // fmemopen refuses an empty buffer; the stream then holds one byte that
  // the length of 0 keeps the reader from taking.
  std::vector<char> content(data, data + size);
  if (content.empty()) content.push_back('\0');
  const std::unique_ptr<std::FILE, FileCloser> stream(::fmemopen(content.data(), content.size(), "rb"));
  FUZZ_CHECK(stream != nullptr, "fmemopen");

  vorna::RecordingSink sink;
  vorna::HexImage image;
  const int result =
      vorna::LoadHexStream(stream.get(), static_cast<std::int64_t>(size), image, sink, FUZZ_IMAGE_SIZE_LIMIT);
  if (result == 0) {
    FUZZ_CHECK(sink.entries.empty(), "a successful load reports nothing");
    FUZZ_CHECK(image.bytes != nullptr, "a successful load gives an image");
    FUZZ_CHECK((image.topAddress & 0xF) == 0xF, "the image ends on a 16-byte line");
    FUZZ_CHECK(image.topAddress < FUZZ_IMAGE_SIZE_LIMIT, "the image stays below the size limit");
    const vorna::HexContentReport& content = image.content;
    FUZZ_CHECK(content.problems.size() <= std::min(content.count, vorna::HEX_PROBLEM_LINES), "problems kept");
    FUZZ_CHECK(std::is_sorted(content.problems.begin(), content.problems.end(),
                              [](const auto& a, const auto& b) { return a.line < b.line; }),
               "problems in file order");
    FUZZ_CHECK(vorna::HexProblemLines(content).size() <= vorna::HEX_PROBLEM_LINES, "at most ten lines shown");
  } else {
    FUZZ_CHECK(result == -1, "failure is -1");
    FUZZ_CHECK(sink.entries.size() == 1, "a failed load reports exactly one message");
    FUZZ_CHECK(sink.entries[0].text == "Memory allocation error.", "content only fails the allocation");
    FUZZ_CHECK(image.bytes == nullptr && image.topAddress == 0, "a failed load leaves the image alone");
  }
  return 0;
}
