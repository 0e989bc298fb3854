#include "download/hex_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cassert>
#include <cerrno>
#include <cstring>
#include <new>
#include <system_error>
#include <utility>

namespace vorna {
namespace {

constexpr std::string_view kSelectFileMessage = "select hex file.";
constexpr std::string_view kOpenErrorMessage = "file open error.";
constexpr std::string_view kFileLengthErrorMessage = "_filelength error.";
constexpr std::string_view kAllocationErrorMessage = "Memory allocation error.";

constexpr char kLineFeed = '\n';
constexpr char kCarriageReturn = '\r';
constexpr char kEndOfText = 0x1A;
constexpr char kIntelHexStart = ':';
constexpr char kSRecordStart = 'S';

// What one read hands out at most, as fgets into the line buffer does.
constexpr std::size_t kMaxPieceLength = HEX_LINE_BUFFER_SIZE - 1;
// Raw bytes asked of the stream per read.
constexpr std::size_t kReadChunkSize = std::size_t{64} * 1024;
// The image always ends on the last address of a 16-byte line.
constexpr std::uint32_t kImageLineMask = 0xF;

constexpr std::size_t kIntelTypePosition = 6;
constexpr std::size_t kIntelDataPosition = 8;
constexpr std::size_t kSCountPosition = 1;
constexpr std::size_t kSAddressPosition = 3;
constexpr std::size_t kByteDigits = 2;
constexpr std::size_t kOffsetDigits = 4;

constexpr std::uint8_t kIntelData = 0;
constexpr std::uint8_t kIntelEndOfFile = 1;
constexpr std::uint8_t kIntelExtendedSegment = 2;
constexpr std::uint8_t kIntelExtendedLinear = 4;
// An extended segment address counts in 16-byte paragraphs and an extended
// linear address in 64 KiB pages; both end up as the address base, which is
// multiplied by the paragraph size.
constexpr std::uint32_t kParagraphSize = 16;
constexpr std::uint32_t kParagraphsPerPage = 4096;

constexpr std::array<std::uint8_t, 256> kHexDigitValue = [] {
  std::array<std::uint8_t, 256> table{};
  for (int c = '0'; c <= '9'; ++c) table[c] = static_cast<std::uint8_t>(c - '0');
  for (int c = 'A'; c <= 'F'; ++c) table[c] = static_cast<std::uint8_t>(c - 'A' + 10);
  for (int c = 'a'; c <= 'f'; ++c) table[c] = static_cast<std::uint8_t>(c - 'a' + 10);
  return table;
}();

std::uint8_t DigitValue(char c) { return kHexDigitValue[static_cast<unsigned char>(c)]; }

// The characters of `text` from `position` on; none when the line ends first.
std::string_view Tail(std::string_view text, std::size_t position) {
  return position < text.size() ? text.substr(position) : std::string_view{};
}

std::uint32_t Field(std::string_view text, std::size_t position, std::size_t digits) {
  return HexFieldValue(Tail(text, position), digits);
}

// `count` bytes of two digits each from `position` on; pairs the line does
// not hold read like HexFieldValue's missing digits.
void DecodeBytes(std::string_view text, std::size_t position, std::size_t count,
                 std::uint8_t* out) {
  const std::string_view rest = Tail(text, position);
  const std::size_t whole = std::min(count, rest.size() / kByteDigits);
  const char* digits = rest.data();
  for (std::size_t i = 0; i < whole; ++i) {
    out[i] = static_cast<std::uint8_t>((DigitValue(digits[2 * i]) << 4) |
                                       DigitValue(digits[2 * i + 1]));
  }
  for (std::size_t i = whole; i < count; ++i) {
    out[i] = static_cast<std::uint8_t>(HexFieldValue(Tail(rest, kByteDigits * i), kByteDigits));
  }
}

std::unique_ptr<std::uint8_t[]> TryAllocate(std::size_t size) {
  try {
    return std::make_unique_for_overwrite<std::uint8_t[]>(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

std::string ErrnoText(int error) { return std::generic_category().message(error); }

// The fields in front of the bytes; the parsers read these, then the bytes.
void ParseIntelHexHead(std::string_view text, IntelHexRecord& record) {
  record.byteCount = static_cast<std::uint8_t>(Field(text, 0, kByteDigits));
  record.offset = static_cast<std::uint16_t>(Field(text, kByteDigits, kOffsetDigits));
  record.recordType = static_cast<std::uint8_t>(Field(text, kIntelTypePosition, kByteDigits));
}

void ParseSRecordHead(std::string_view text, SRecord& record) {
  const char typeCharacter = text.empty() ? '0' : text.front();
  record.recordType = static_cast<std::uint8_t>(typeCharacter - '0');
  record.byteCount = static_cast<std::uint8_t>(Field(text, kSCountPosition, kByteDigits));
}

// The first pass measures, the second places. Measuring a data record needs
// its head and address only, so the data bytes are decoded when placing;
// both passes read heads, addresses and base records with the same code and
// so agree on every address and count.
enum class Pass { kMeasure, kPlace };

// What a line asks of the reader. Both passes decide it with these
// functions, so every byte the second pass places lies inside the range that
// the first pass measured.
struct LineEffect {
  enum class Kind { kNothing, kEnd, kAddressBase, kData };
  Kind kind = Kind::kNothing;
  std::uint32_t addressBase = 0;  // kAddressBase
  std::uint64_t start = 0;        // kData; 64 bits so that wrap past 4 GiB shows
  std::size_t count = 0;          // kData; S-records may carry none
  const std::uint8_t* data = nullptr;  // kData when placing
};

struct RecordScratch {
  IntelHexRecord intel;
  SRecord s;
};

LineEffect InterpretIntelHex(std::string_view text, std::uint32_t addressBase,
                             IntelHexRecord& record, Pass pass) {
  if (pass == Pass::kPlace) {
    ParseIntelHexRecord(text, record);
  } else {
    ParseIntelHexHead(text, record);
  }
  LineEffect effect;
  switch (record.recordType) {
    case kIntelData:
      // A record without data writes nothing and does not move the top.
      if (record.byteCount > 0) {
        effect.kind = LineEffect::Kind::kData;
        effect.start = std::uint64_t{addressBase} * kParagraphSize + record.offset;
        effect.count = record.byteCount;
        effect.data = record.data.data();
      }
      break;
    case kIntelEndOfFile:
      effect.kind = LineEffect::Kind::kEnd;
      break;
    case kIntelExtendedSegment:
    case kIntelExtendedLinear:
      // Fewer than two data bytes carry no base: such a record is passed over
      // rather than taking whatever an earlier record left in `data`.
      if (record.byteCount >= 2) {
        if (pass == Pass::kMeasure) DecodeBytes(text, kIntelDataPosition, 2, record.data.data());
        const std::uint32_t value = record.data[0] * 256u + record.data[1];
        effect.kind = LineEffect::Kind::kAddressBase;
        effect.addressBase =
            record.recordType == kIntelExtendedLinear ? value * kParagraphsPerPage : value;
      }
      break;
    default:
      break;
  }
  return effect;
}

LineEffect InterpretSRecord(std::string_view text, SRecord& record, Pass pass) {
  if (pass == Pass::kPlace) {
    ParseSRecord(text, record);
  } else {
    ParseSRecordHead(text, record);
  }
  LineEffect effect;
  switch (record.recordType) {
    case 1:
    case 2:
    case 3: {
      const std::size_t addressLength = record.recordType + 1u;
      // A count that does not even cover the address and the checksum leaves
      // no address to place at: the record is passed over.
      if (record.byteCount < addressLength + 1) break;
      if (pass == Pass::kMeasure) {
        DecodeBytes(text, kSAddressPosition, addressLength, record.addressAndData.data());
      }
      std::uint64_t start = 0;
      for (std::size_t i = 0; i < addressLength; ++i) start = start * 256 + record.addressAndData[i];
      effect.kind = LineEffect::Kind::kData;
      effect.start = start;
      effect.count = record.byteCount - addressLength - 1;
      effect.data = record.addressAndData.data() + addressLength;
      break;
    }
    case 7:
    case 8:
    case 9:
      effect.kind = LineEffect::Kind::kEnd;
      break;
    default:
      break;
  }
  return effect;
}

LineEffect InterpretLine(std::string_view line, std::uint32_t addressBase, RecordScratch& scratch,
                         Pass pass) {
  switch (line.front()) {
    case kIntelHexStart:
      return InterpretIntelHex(line.substr(1), addressBase, scratch.intel, pass);
    case kSRecordStart:
      return InterpretSRecord(line.substr(1), scratch.s, pass);
    default:
      return {};
  }
}

// Reads a binary stream the way the platform's text mode presents a file and
// hands it out in the pieces that fgets returns into the line buffer.
// Text mode: a CR directly before an LF is dropped (before pieces are cut, so
// a CR LF split by a read still reads as LF), any other CR stays, and a byte
// 0x1A ends the text.
class TextPieceReader {
 public:
  TextPieceReader(std::FILE* stream, std::uint64_t byteLimit)
      : stream_(stream), remaining_(byteLimit) {}

  // Characters up to and including the next LF, at most kMaxPieceLength of
  // them; empty once the text has ended. A piece cut short by a read error is
  // dropped, as fgets drops it.
  std::string_view NextPiece() {
    for (;;) {
      const char* begin = buffer_.data() + head_;
      const std::size_t window = std::min(decodedEnd_ - head_, kMaxPieceLength);
      const void* lineFeed = std::memchr(begin, kLineFeed, window);
      if (lineFeed != nullptr || window == kMaxPieceLength || ended_) {
        if (lineFeed == nullptr && window < kMaxPieceLength && readError_) return {};
        const std::size_t length =
            lineFeed != nullptr ? static_cast<const char*>(lineFeed) - begin + 1 : window;
        head_ += length;
        return {begin, length};
      }
      Refill();
    }
  }

 private:
  void Refill() {
    // Keep the characters not handed out yet, and a CR still waiting for
    // the byte after it, at the front.
    std::memmove(buffer_.data(), buffer_.data() + head_, rawEnd_ - head_);
    decodedEnd_ -= head_;
    rawEnd_ -= head_;
    head_ = 0;

    const std::size_t wanted =
        static_cast<std::size_t>(std::min<std::uint64_t>(buffer_.size() - rawEnd_, remaining_));
    const std::size_t got = wanted > 0 ? std::fread(buffer_.data() + rawEnd_, 1, wanted, stream_) : 0;
    remaining_ -= got;
    rawEnd_ += got;
    if (got < wanted || remaining_ == 0) {
      ended_ = true;
      readError_ = std::ferror(stream_) != 0;
    }
    Decode();
  }

  // Applies the text-mode rules in place to the raw bytes after decodedEnd_.
  void Decode() {
    char* const text = buffer_.data();
    std::size_t end = rawEnd_;
    if (const void* stop = std::memchr(text + decodedEnd_, kEndOfText, end - decodedEnd_)) {
      end = static_cast<std::size_t>(static_cast<const char*>(stop) - text);
      ended_ = true;
    }
    // Runs between CRs move down over the CRs dropped so far.
    std::size_t in = decodedEnd_;
    std::size_t out = decodedEnd_;
    bool crWaits = false;
    while (in < end) {
      const void* found = std::memchr(text + in, kCarriageReturn, end - in);
      const std::size_t cr =
          found != nullptr ? static_cast<std::size_t>(static_cast<const char*>(found) - text) : end;
      if (out != in) std::memmove(text + out, text + in, cr - in);
      out += cr - in;
      in = cr;
      if (in == end) break;
      if (in + 1 == end && !ended_) {  // the byte after it is not read yet
        crWaits = true;
        break;
      }
      if (in + 1 < end && text[in + 1] == kLineFeed) {
        ++in;  // dropped; the LF starts the next run
        continue;
      }
      text[out++] = kCarriageReturn;
      ++in;
    }
    decodedEnd_ = out;
    if (crWaits) text[out++] = kCarriageReturn;
    rawEnd_ = out;
  }

  std::FILE* stream_;
  std::uint64_t remaining_;  // raw bytes the stream may still give
  // Characters [head_, decodedEnd_) are decoded and not handed out; at most
  // one raw CR waits in [decodedEnd_, rawEnd_).
  std::array<char, kReadChunkSize + HEX_LINE_BUFFER_SIZE> buffer_;
  std::size_t head_ = 0;
  std::size_t decodedEnd_ = 0;
  std::size_t rawEnd_ = 0;
  bool ended_ = false;
  bool readError_ = false;
};

// The non-empty lines of the first pass, back to back, each followed by a
// zero byte.
struct StoredLines {
  std::unique_ptr<std::uint8_t[]> bytes;
  std::size_t used = 0;
};

// Room for every line the reader can store from a file of `fileLength`
// bytes. A stored line takes its length plus a zero byte. A piece that ends
// in LF, or that a zero byte cuts short, leaves at least that many bytes of
// the file behind; text mode only ever removes bytes. Only a piece without LF
// and zero byte takes one byte more than it used: a cut of kMaxPieceLength
// characters, of which fileLength / kMaxPieceLength fit in the file, and the
// final piece. No more than fileLength bytes are ever read.
std::uint64_t StoredLinesCapacity(std::uint64_t fileLength) {
  return fileLength + fileLength / kMaxPieceLength + 1;
}

struct FirstPassResult {
  // Largest end address seen, plus one; 0 while no record counted. 64 bits
  // so that records ending past 0xFFFFFFFF are seen rather than wrapped.
  std::uint64_t addressLimit = 0;
};

FirstPassResult ReadLines(TextPieceReader& reader, StoredLines& stored, RecordScratch& scratch) {
  FirstPassResult result;
  std::uint32_t addressBase = 0;
  for (std::string_view piece = reader.NextPiece(); !piece.empty(); piece = reader.NextPiece()) {
    // The line ends at its first zero byte, as a C string would.
    const void* zero = std::memchr(piece.data(), 0, piece.size());
    std::string_view line =
        zero != nullptr ? piece.substr(0, static_cast<const char*>(zero) - piece.data()) : piece;
    if (!line.empty() && line.back() == kLineFeed) line.remove_suffix(1);
    if (line.empty()) continue;

    std::uint8_t* const slot = stored.bytes.get() + stored.used;
    std::memcpy(slot, line.data(), line.size());
    slot[line.size()] = 0;
    stored.used += line.size() + 1;

    const LineEffect effect = InterpretLine(line, addressBase, scratch, Pass::kMeasure);
    if (effect.kind == LineEffect::Kind::kEnd) break;
    if (effect.kind == LineEffect::Kind::kAddressBase) addressBase = effect.addressBase;
    // A record with no data bytes reaches up to the address before its own;
    // at address 0 that is below the image, and it counts for nothing.
    if (effect.kind == LineEffect::Kind::kData) {
      result.addressLimit = std::max(result.addressLimit, effect.start + effect.count);
    }
  }
  return result;
}

void PlaceLines(const StoredLines& stored, std::uint8_t* image,
                [[maybe_unused]] std::uint32_t topAddress, RecordScratch& scratch) {
  std::uint32_t addressBase = 0;
  const char* const text = reinterpret_cast<const char*>(stored.bytes.get());
  for (std::size_t walked = 0; walked < stored.used;) {
    const std::string_view line(text + walked);
    walked += line.size() + 1;
    const LineEffect effect = InterpretLine(line, addressBase, scratch, Pass::kPlace);
    if (effect.kind == LineEffect::Kind::kEnd) break;
    if (effect.kind == LineEffect::Kind::kAddressBase) addressBase = effect.addressBase;
    if (effect.kind == LineEffect::Kind::kData && effect.count > 0) {
      assert(effect.start + effect.count - 1 <= topAddress);
      std::memcpy(image + effect.start, effect.data, effect.count);
    }
  }
}

// Closes a descriptor that no stream has taken over yet.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }
  int release() { return std::exchange(fd_, -1); }

 private:
  int fd_;
};

struct FileCloser {
  void operator()(std::FILE* stream) const { std::fclose(stream); }
};

}  // namespace

std::uint32_t HexFieldValue(std::string_view text, std::size_t n) {
  const std::size_t present = std::min(n, text.size());
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < present; ++i) value = value * 16 + DigitValue(text[i]);
  // Missing characters are zero digits: each one shifts in a zero.
  const std::size_t missing = n - present;
  constexpr std::size_t kDigitsPerValue = 8;
  return missing >= kDigitsPerValue ? 0 : value << (4 * missing);
}

void ParseIntelHexRecord(std::string_view text, IntelHexRecord& record) {
  ParseIntelHexHead(text, record);
  DecodeBytes(text, kIntelDataPosition, record.byteCount, record.data.data());
  record.checksum = static_cast<std::uint8_t>(
      Field(text, kIntelDataPosition + kByteDigits * record.byteCount, kByteDigits));
}

void ParseSRecord(std::string_view text, SRecord& record) {
  ParseSRecordHead(text, record);
  const std::size_t length = record.byteCount > 0 ? record.byteCount - 1u : 0u;
  DecodeBytes(text, kSAddressPosition, length, record.addressAndData.data());
  record.checksum =
      static_cast<std::uint8_t>(Field(text, kSAddressPosition + kByteDigits * length, kByteDigits));
}

int LoadHexStream(std::FILE* stream, std::int64_t fileLength, HexImage& image,
                  MessageSink& sink) {
  if (fileLength < 0) {
    sink.Report(kFileLengthErrorMessage, "negative file length");
    return -1;
  }
  const std::uint64_t capacity = StoredLinesCapacity(static_cast<std::uint64_t>(fileLength));
  StoredLines stored;
  if (capacity <= SIZE_MAX) stored.bytes = TryAllocate(static_cast<std::size_t>(capacity));
  if (!stored.bytes) {
    sink.Report(kAllocationErrorMessage,
                "cannot allocate " + std::to_string(capacity) + " bytes for the file's lines");
    return -1;
  }

  RecordScratch scratch;
  FirstPassResult firstPass;
  {
    TextPieceReader reader(stream, static_cast<std::uint64_t>(fileLength));
    firstPass = ReadLines(reader, stored, scratch);
  }

  // The image covers address 0 to the top; refuse it before allocating when
  // it would pass the limit. This also refuses a top of 0xFFFFFFFF, whose size
  // does not fit 32 bits, and records that end past 0xFFFFFFFF.
  const std::uint64_t highest = firstPass.addressLimit > 0 ? firstPass.addressLimit - 1 : 0;
  const std::uint64_t imageSize = (highest | kImageLineMask) + 1;
  if (imageSize > HEX_IMAGE_SIZE_LIMIT) {
    sink.Report(kAllocationErrorMessage,
                "image of " + std::to_string(imageSize) + " bytes is above the limit of " +
                    std::to_string(HEX_IMAGE_SIZE_LIMIT) + " bytes");
    return -1;
  }
  std::unique_ptr<std::uint8_t[]> bytes = TryAllocate(static_cast<std::size_t>(imageSize));
  if (!bytes) {
    sink.Report(kAllocationErrorMessage,
                "cannot allocate " + std::to_string(imageSize) + " bytes for the image");
    return -1;
  }
  std::memset(bytes.get(), HEX_FILL_BYTE, static_cast<std::size_t>(imageSize));
  const auto topAddress = static_cast<std::uint32_t>(imageSize - 1);
  PlaceLines(stored, bytes.get(), topAddress, scratch);

  image.baseAddress = 0;
  image.topAddress = topAddress;
  image.bytes = std::move(bytes);
  return 0;
}

int LoadHexFile(const std::string& path, HexImage& image, MessageSink& sink) {
  if (path.empty()) {
    sink.Report(kSelectFileMessage, "");
    return -1;
  }
#ifdef _WIN32
  FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_BINARY));
#else
  // Non-blocking so that a FIFO cannot hang the open; it is refused below.
  FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
#endif
  if (fd.get() < 0) {
    sink.Report(kOpenErrorMessage, path + ": " + ErrnoText(errno));
    return -1;
  }
  struct stat status {};
  if (::fstat(fd.get(), &status) != 0) {
    sink.Report(kFileLengthErrorMessage, path + ": " + ErrnoText(errno));
    return -1;
  }
  // The desktop platform refuses to open a directory as a file; refuse it
  // here too rather than read nothing from it.
  if (S_ISDIR(status.st_mode)) {
    sink.Report(kOpenErrorMessage, path + ": " + ErrnoText(EISDIR));
    return -1;
  }
  // Pipes and devices have no length to measure the stored lines by.
  if (!S_ISREG(status.st_mode)) {
    sink.Report(kFileLengthErrorMessage, path + ": not a regular file");
    return -1;
  }
  std::unique_ptr<std::FILE, FileCloser> stream(::fdopen(fd.get(), "rb"));
  if (!stream) {
    sink.Report(kOpenErrorMessage, path + ": " + ErrnoText(errno));
    return -1;
  }
  fd.release();
  return LoadHexStream(stream.get(), status.st_size, image, sink);
}

}  // namespace vorna
