#include "download/hex_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <span>
#include <system_error>
#include <utility>

#include "base/file_open.h"
#include "base/translatable.h"
#include "base/unique_fd.h"

namespace vorna {
namespace {

constexpr std::string_view SELECT_FILE_MESSAGE = TRANSLATABLE("vorna", "select hex file.");
constexpr std::string_view OPEN_ERROR_MESSAGE = TRANSLATABLE("vorna", "file open error.");
constexpr std::string_view FILE_LENGTH_ERROR_MESSAGE = TRANSLATABLE("vorna", "_filelength error.");
constexpr std::string_view ALLOCATION_ERROR_MESSAGE = TRANSLATABLE("vorna", "Memory allocation error.");

constexpr char LINE_FEED = '\n';
constexpr char CARRIAGE_RETURN = '\r';
constexpr char END_OF_TEXT = 0x1A;
constexpr char INTEL_HEX_START = ':';
constexpr char S_RECORD_START = 'S';

// What one read hands out at most, as fgets into the line buffer does.
constexpr std::size_t MAX_PIECE_LENGTH = HEX_LINE_BUFFER_SIZE - 1;
// The image always ends on the last address of a 16-byte line.
constexpr std::uint32_t IMAGE_LINE_MASK = 0xF;

constexpr std::size_t INTEL_DATA_POSITION = 8;
constexpr std::size_t S_COUNT_POSITION = 1;
constexpr std::size_t S_ADDRESS_POSITION = 3;
constexpr std::size_t BYTE_DIGITS = 2;

constexpr std::uint8_t INTEL_DATA = 0;
constexpr std::uint8_t INTEL_END_OF_FILE = 1;
constexpr std::uint8_t INTEL_EXTENDED_SEGMENT = 2;
constexpr std::uint8_t INTEL_EXTENDED_LINEAR = 4;
// An extended segment address counts in 16-byte paragraphs and an extended
// linear address in 64 KiB pages; both end up as the address base, which is
// multiplied by the paragraph size.
constexpr std::uint32_t PARAGRAPH_SIZE = 16;
constexpr std::uint32_t PARAGRAPHS_PER_PAGE = 4096;

// Digits give their value; every other character NOT_DIGIT, which reads as
// the value 0 and marks the bytes it was part of.
constexpr std::uint8_t NOT_DIGIT = 0x10;
constexpr std::array<std::uint8_t, 256> HEX_DIGIT_VALUE = [] {
  std::array<std::uint8_t, 256> table{};
  table.fill(NOT_DIGIT);
  for (int c = '0'; c <= '9'; ++c) table[c] = static_cast<std::uint8_t>(c - '0');
  for (int c = 'A'; c <= 'F'; ++c) table[c] = static_cast<std::uint8_t>(c - 'A' + 10);
  for (int c = 'a'; c <= 'f'; ++c) table[c] = static_cast<std::uint8_t>(c - 'a' + 10);
  return table;
}();

std::uint8_t DigitEntry(char c) { return HEX_DIGIT_VALUE[static_cast<unsigned char>(c)]; }
std::uint8_t DigitValue(char c) { return DigitEntry(c) & 0xF; }

// The characters of `text` from `position` on; none when the line ends first.
std::string_view Tail(std::string_view text, std::size_t position) {
  return position < text.size() ? text.substr(position) : std::string_view{};
}

// What decoding saw of a record's bytes, for the content check: their sum,
// and NOT_DIGIT when a character was no hexadecimal digit.
struct ByteSum {
  unsigned sum = 0;
  std::uint8_t flags = 0;
};

// `count` bytes of two digits each from `position` on; pairs the line does
// not hold read like HexFieldValue's missing digits.
void DecodeBytes(std::string_view text, std::size_t position, std::size_t count, std::uint8_t* out, ByteSum& seen) {
  const std::string_view rest = Tail(text, position);
  const std::size_t whole = std::min(count, rest.size() / BYTE_DIGITS);
  const char* digits = rest.data();
  unsigned sum = 0;
  std::uint8_t flags = 0;
  for (std::size_t i = 0; i < whole; ++i) {
    const std::uint8_t high = DigitEntry(digits[2 * i]);
    const std::uint8_t low = DigitEntry(digits[2 * i + 1]);
    flags |= high | low;
    // A NOT_DIGIT in the high digit shifts out of the byte.
    out[i] = static_cast<std::uint8_t>((high << 4) | (low & 0xF));
    sum += out[i];
  }
  if (whole < count && BYTE_DIGITS * whole < rest.size()) flags |= DigitEntry(rest[BYTE_DIGITS * whole]);
  for (std::size_t i = whole; i < count; ++i) {
    out[i] = static_cast<std::uint8_t>(HexFieldValue(Tail(rest, BYTE_DIGITS * i), BYTE_DIGITS));
    sum += out[i];
  }
  seen.sum += sum;
  seen.flags |= flags;
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
// Intel HEX: byte count, offset (two bytes) and type, each digit pair a byte.
void ParseIntelHexHead(std::string_view text, IntelHexRecord& record, ByteSum& seen) {
  std::array<std::uint8_t, 4> head{};
  DecodeBytes(text, 0, head.size(), head.data(), seen);
  record.byteCount = head[0];
  record.offset = static_cast<std::uint16_t>(head[1] << 8 | head[2]);
  record.recordType = head[3];
}

void ParseSRecordHead(std::string_view text, SRecord& record, ByteSum& seen) {
  const char typeCharacter = text.empty() ? '0' : text.front();
  record.recordType = static_cast<std::uint8_t>(typeCharacter - '0');
  DecodeBytes(text, S_COUNT_POSITION, 1, &record.byteCount, seen);
}

// The whole record, and what the content check needs of it. `text` is the
// line after its ':' or 'S'.
RecordDigits ParseIntelHexFields(std::string_view text, IntelHexRecord& record) {
  ByteSum seen;
  ParseIntelHexHead(text, record, seen);
  DecodeBytes(text, INTEL_DATA_POSITION, record.byteCount, record.data.data(), seen);
  const unsigned sum = seen.sum;
  const std::size_t checksumPosition = INTEL_DATA_POSITION + BYTE_DIGITS * record.byteCount;
  DecodeBytes(text, checksumPosition, 1, &record.checksum, seen);
  return {1 + checksumPosition + BYTE_DIGITS, (seen.flags & NOT_DIGIT) != 0, record.checksum,
          static_cast<std::uint8_t>(0x100 - (sum & 0xFF))};
}

RecordDigits ParseSRecordFields(std::string_view text, SRecord& record) {
  ByteSum seen;
  ParseSRecordHead(text, record, seen);
  const std::size_t length = record.byteCount > 0 ? record.byteCount - 1u : 0u;
  DecodeBytes(text, S_ADDRESS_POSITION, length, record.addressAndData.data(), seen);
  const unsigned sum = seen.sum;
  const std::size_t checksumPosition = S_ADDRESS_POSITION + BYTE_DIGITS * length;
  DecodeBytes(text, checksumPosition, 1, &record.checksum, seen);
  return {1 + checksumPosition + BYTE_DIGITS, (seen.flags & NOT_DIGIT) != 0, record.checksum,
          static_cast<std::uint8_t>(~sum)};
}

// The first pass measures, the second places. Measuring a data record needs
// its head and address only, so the data bytes are decoded when placing;
// both passes read heads, addresses and base records with the same code and
// so agree on every address and count.
enum class Pass { Measure, Place };

// What a line asks of the reader. Both passes decide it with these
// functions, so every byte the second pass places lies inside the range that
// the first pass measured.
struct LineEffect {
  enum class Kind { Nothing, End, AddressBase, Data };
  Kind kind = Kind::Nothing;
  std::uint32_t addressBase = 0;       // AddressBase
  std::uint64_t start = 0;             // Data; 64 bits so that wrap past 4 GiB shows
  std::size_t count = 0;               // Data; S-records may carry none
  const std::uint8_t* data = nullptr;  // Data when placing
};

struct RecordScratch {
  IntelHexRecord intel;
  SRecord s;
  RecordDigits digits;  // of the last record placed
  ByteSum unused;       // what measuring decodes is not checked
};

LineEffect InterpretIntelHex(std::string_view text, std::uint32_t addressBase, RecordScratch& scratch, Pass pass) {
  IntelHexRecord& record = scratch.intel;
  if (pass == Pass::Place) {
    scratch.digits = ParseIntelHexFields(text, record);
  } else {
    ParseIntelHexHead(text, record, scratch.unused);
  }
  LineEffect effect;
  switch (record.recordType) {
    case INTEL_DATA:
      // A record without data writes nothing and does not move the top.
      if (record.byteCount > 0) {
        effect.kind = LineEffect::Kind::Data;
        effect.start = std::uint64_t{addressBase} * PARAGRAPH_SIZE + record.offset;
        effect.count = record.byteCount;
        effect.data = record.data.data();
      }
      break;
    case INTEL_END_OF_FILE:
      effect.kind = LineEffect::Kind::End;
      break;
    case INTEL_EXTENDED_SEGMENT:
    case INTEL_EXTENDED_LINEAR:
      // Fewer than two data bytes carry no base: such a record is passed over
      // rather than taking whatever an earlier record left in `data`.
      if (record.byteCount >= 2) {
        if (pass == Pass::Measure) DecodeBytes(text, INTEL_DATA_POSITION, 2, record.data.data(), scratch.unused);
        const std::uint32_t value = record.data[0] * 256u + record.data[1];
        effect.kind = LineEffect::Kind::AddressBase;
        effect.addressBase = record.recordType == INTEL_EXTENDED_LINEAR ? value * PARAGRAPHS_PER_PAGE : value;
      }
      break;
    default:
      break;
  }
  return effect;
}

LineEffect InterpretSRecord(std::string_view text, RecordScratch& scratch, Pass pass) {
  SRecord& record = scratch.s;
  if (pass == Pass::Place) {
    scratch.digits = ParseSRecordFields(text, record);
  } else {
    ParseSRecordHead(text, record, scratch.unused);
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
      if (pass == Pass::Measure) {
        DecodeBytes(text, S_ADDRESS_POSITION, addressLength, record.addressAndData.data(), scratch.unused);
      }
      std::uint64_t start = 0;
      for (std::size_t i = 0; i < addressLength; ++i) start = start * 256 + record.addressAndData[i];
      effect.kind = LineEffect::Kind::Data;
      effect.start = start;
      effect.count = record.byteCount - addressLength - 1;
      effect.data = record.addressAndData.data() + addressLength;
      break;
    }
    case 7:
    case 8:
    case 9:
      effect.kind = LineEffect::Kind::End;
      break;
    default:
      break;
  }
  return effect;
}

LineEffect InterpretLine(std::string_view line, std::uint32_t addressBase, RecordScratch& scratch, Pass pass) {
  switch (line.front()) {
    case INTEL_HEX_START:
      return InterpretIntelHex(line.substr(1), addressBase, scratch, pass);
    case S_RECORD_START:
      return InterpretSRecord(line.substr(1), scratch, pass);
    default:
      return {};
  }
}

// Where a file's text comes from when it is not in memory: read from the
// start, `length` bytes at most. The file is read, never mapped: a mapped
// file that another program cuts short kills its reader with SIGBUS.
struct FileText {
  int fd = -1;
  std::uint64_t length = 0;
  // First pass: a read error ends the text there, as the end of the file
  // would. Second pass: the text must be the one the first pass read, so a
  // read error fails it.
  bool firstPass = true;
  // Second pass: the first pass's text ended in a read error after `length`.
  bool endsInReadError = false;
};

// How a file's text failed to be read.
enum class TextFault { None, Changed, ReadError };

// Hands out a text the way the platform's text mode presents a file, in the
// pieces that fgets returns into the line buffer, each reduced to its line:
// the characters before the LF that ends it, cut at its first zero byte.
// Text mode: a CR directly before an LF is dropped (before pieces are cut,
// so CR LF counts as one character), any other CR stays, and a byte 0x1A
// ends the text. Lines are views into the text where they can be, copies in
// the line buffer where a dropped CR leaves a gap. The text is either in
// memory whole, or a file read into a window of bounded size, refilled
// whenever less than a piece and its look-ahead is left in it.
class TextPieces {
 public:
  // `cutByReadError`: the text stops where a read failed, so a last piece
  // that wanted more characters is dropped, as fgets drops it.
  TextPieces(std::string_view text, bool cutByReadError)
      : position_(text.data()),
        end_(text.data() + text.size()),
        checked_(text.data()),
        complete_(true),
        cutByReadError_(cutByReadError) {}

  TextPieces(const FileText& file, std::span<char> window)
      : position_(window.data()),
        end_(window.data()),
        checked_(window.data()),
        window_(window),
        file_(file),
        complete_(file.length == 0),
        cutByReadError_(complete_ && file.endsInReadError) {}

  // The next piece's line, possibly empty; false once the text has ended or
  // a read failed (see fault()).
  bool Next(std::string_view& line) {
    if (!complete_ && static_cast<std::size_t>(end_ - position_) < PIECE_WITH_LOOK_AHEAD) Refill();
    if (fault_ != TextFault::None) return End();
    LookAhead();
    if (position_ == end_) return false;
    const std::size_t window = std::min(static_cast<std::size_t>(end_ - position_), MAX_PIECE_LENGTH);
    const auto* lineFeed = static_cast<const char*>(std::memchr(position_, LINE_FEED, window));
    const std::size_t before = lineFeed != nullptr ? static_cast<std::size_t>(lineFeed - position_) : window;
    const auto* carriageReturn = static_cast<const char*>(std::memchr(position_, CARRIAGE_RETURN, before));
    bool endsLine = false;
    if (carriageReturn != nullptr && !(lineFeed != nullptr && carriageReturn + 1 == lineFeed)) {
      if (!CopyPiece(line, endsLine)) return false;
    } else if (lineFeed != nullptr) {
      // Raw up to the LF, but for a CR right before it that the LF drops.
      line = {position_, static_cast<std::size_t>((carriageReturn != nullptr ? carriageReturn : lineFeed) - position_)};
      position_ = lineFeed + 1;
      lineFeedSeen_ = true;
      endsLine = true;
    } else {
      if (window < MAX_PIECE_LENGTH && cutByReadError_) return End();
      line = {position_, window};
      position_ += window;
    }
    const void* zero = std::memchr(line.data(), 0, line.size());
    cutAtZero_ = zero != nullptr;
    if (cutAtZero_) line = line.substr(0, static_cast<std::size_t>(static_cast<const char*>(zero) - line.data()));
    pieceLine_ = nextLine_;
    continuesLine_ = !atLineStart_;
    atLineStart_ = endsLine;
    if (endsLine) ++nextLine_;
    return true;
  }

  // The line of the last piece as an editor numbers lines (each LF ends
  // one), whether the piece began it or continues it, and whether a zero
  // byte cut it short.
  std::size_t lineNumber() const { return pieceLine_; }
  bool continuesLine() const { return continuesLine_; }
  bool cutAtZero() const { return cutAtZero_; }

  bool lineFeedSeen() const { return lineFeedSeen_; }
  bool carriageReturnSeen() const { return carriageReturnSeen_; }
  TextFault fault() const { return fault_; }
  int readError() const { return readError_; }
  // What the second pass reads again: the bytes of the file read so far,
  // and whether a read error ended them.
  FileText SecondPass() const { return {file_.fd, read_, false, endedInReadError_}; }

 private:
  // How far past the current position the text is searched for a 0x1A at a
  // time: far enough that most pieces cost no search of their own.
  static constexpr std::size_t LOOK_AHEAD_STEP = std::size_t{64} * 1024;
  // A piece and the character after it: the LF of a CR LF that ends it, or
  // a 0x1A that ends the text.
  static constexpr std::size_t PIECE_WITH_LOOK_AHEAD = MAX_PIECE_LENGTH + 1;

  // Makes sure that a piece, and the character after it, lie before any 0x1A.
  void LookAhead() {
    const std::size_t wanted = MAX_PIECE_LENGTH + 1;
    while (checked_ < end_ && static_cast<std::size_t>(checked_ - position_) < wanted) {
      const std::size_t step = std::min(static_cast<std::size_t>(end_ - checked_), LOOK_AHEAD_STEP);
      if (const void* stop = std::memchr(checked_, END_OF_TEXT, step)) {
        end_ = static_cast<const char*>(stop);
        checked_ = end_;
        // The text ends at the 0x1A, however the file goes on.
        complete_ = true;
        cutByReadError_ = false;
      } else {
        checked_ += step;
      }
    }
  }

  // Moves what is left to the window's start and reads until the window is
  // full or the text has ended.
  void Refill() {
    const std::size_t left = static_cast<std::size_t>(end_ - position_);
    const std::size_t searched = static_cast<std::size_t>(checked_ - position_);
    std::memmove(window_.data(), position_, left);
    position_ = window_.data();
    checked_ = position_ + searched;
    char* filled = window_.data() + left;
    while (!complete_ && filled < window_.data() + window_.size()) {
      const std::uint64_t unread = file_.length - read_;
      const auto wanted = static_cast<unsigned>(
          std::min<std::uint64_t>(unread, static_cast<std::size_t>(window_.data() + window_.size() - filled)));
      const auto n = ::read(file_.fd, filled, wanted);
      if (n > 0) {
        filled += n;
        read_ += static_cast<std::uint64_t>(n);
        complete_ = read_ == file_.length;
        cutByReadError_ = complete_ && file_.endsInReadError;
      } else if (n < 0 && errno == EINTR) {
        continue;
      } else if (n < 0 && file_.firstPass) {
        complete_ = true;
        cutByReadError_ = true;
        endedInReadError_ = true;
      } else {
        // Shorter than it was measured, or a read that failed the first time round.
        fault_ = n == 0 ? TextFault::Changed : TextFault::ReadError;
        readError_ = n == 0 ? 0 : errno;
        complete_ = true;
      }
    }
    end_ = filled;
  }

  // The piece character by character, for a CR that is dropped in its middle
  // or that stays.
  bool CopyPiece(std::string_view& line, bool& endsInLineFeed) {
    const char* in = position_;
    std::size_t length = 0;
    while (length < MAX_PIECE_LENGTH && in < end_) {
      char c = *in++;
      if (c == CARRIAGE_RETURN) {
        if (in < end_ && *in == LINE_FEED) {
          c = LINE_FEED;
          ++in;
        } else {
          carriageReturnSeen_ = true;
        }
      }
      if (c == LINE_FEED) {
        endsInLineFeed = true;
        break;
      }
      lineBuffer_[length++] = c;
    }
    if (!endsInLineFeed && length < MAX_PIECE_LENGTH && cutByReadError_) return End();
    lineFeedSeen_ = lineFeedSeen_ || endsInLineFeed;
    position_ = in;
    line = {lineBuffer_.data(), length};
    return true;
  }

  bool End() {
    position_ = end_;
    return false;
  }

  const char* position_;
  const char* end_;      // the end of the text read so far, or its first 0x1A once found
  const char* checked_;  // [position_, checked_) holds no 0x1A
  std::span<char> window_;
  FileText file_;
  std::uint64_t read_ = 0;  // bytes of the file read so far
  bool complete_;           // nothing more to read: the text ends at end_
  bool cutByReadError_ = false;
  bool endedInReadError_ = false;
  TextFault fault_ = TextFault::None;
  int readError_ = 0;
  bool lineFeedSeen_ = false;
  bool carriageReturnSeen_ = false;
  std::size_t nextLine_ = 1;
  std::size_t pieceLine_ = 0;
  bool atLineStart_ = true;
  bool continuesLine_ = false;
  bool cutAtZero_ = false;
  std::array<char, MAX_PIECE_LENGTH> lineBuffer_{};
};

struct FirstPassResult {
  // Largest end address seen, plus one; 0 while no record counted. 64 bits
  // so that records ending past 0xFFFFFFFF are seen rather than wrapped.
  std::uint64_t addressLimit = 0;
  HexLineReport lines;
};

bool IsRecord(std::string_view line) { return line.front() == INTEL_HEX_START || line.front() == S_RECORD_START; }

FirstPassResult MeasureLines(TextPieces& pieces, RecordScratch& scratch) {
  FirstPassResult result;
  std::uint32_t addressBase = 0;
  for (std::string_view line; pieces.Next(line);) {
    if (line.empty()) continue;
    if (IsRecord(line)) ++result.lines.records;
    const LineEffect effect = InterpretLine(line, addressBase, scratch, Pass::Measure);
    if (effect.kind == LineEffect::Kind::End) break;
    if (effect.kind == LineEffect::Kind::AddressBase) addressBase = effect.addressBase;
    // A record with no data bytes reaches up to the address before its own;
    // at address 0 that is below the image, and it counts for nothing.
    if (effect.kind == LineEffect::Kind::Data) {
      result.addressLimit = std::max(result.addressLimit, effect.start + effect.count);
    }
  }
  result.lines.lineFeedSeen = pieces.lineFeedSeen();
  result.lines.carriageReturnSeen = pieces.carriageReturnSeen();
  return result;
}

// A line the content check judges as a record: the reader takes any line
// that starts with an S for one, but only S0 to S9 are.
bool IsCheckedRecord(std::string_view line) {
  return line.front() == INTEL_HEX_START ||
         (line.front() == S_RECORD_START && line.size() > 1 && line[1] >= '0' && line[1] <= '9');
}

// False when the lines are not those the first pass measured (a file that
// changed in between): a record outside the image, or another count of
// records. A text in memory always passes. The content check sees each line
// as it is placed.
bool PlaceLines(TextPieces& pieces, std::uint8_t* image, std::uint32_t topAddress, std::size_t records,
                RecordScratch& scratch, HexContentReport& content) {
  HexContentCheck check;
  std::uint32_t addressBase = 0;
  std::size_t placed = 0;
  bool ended = false;
  for (std::string_view line; pieces.Next(line);) {
    const std::size_t number = pieces.lineNumber();
    const bool continues = pieces.continuesLine();
    if (continues && (!line.empty() || pieces.cutAtZero())) check.LongLine(number);
    if (line.empty()) {
      if (!continues && pieces.cutAtZero()) check.OtherLine(number, line, true);
      continue;
    }
    if (IsRecord(line)) ++placed;
    const LineEffect effect = InterpretLine(line, addressBase, scratch, Pass::Place);
    if (!continues && IsCheckedRecord(line)) {
      check.Record(number, line, pieces.cutAtZero(), scratch.digits);
    } else if (!continues) {
      check.OtherLine(number, line, pieces.cutAtZero());
    }
    if (effect.kind == LineEffect::Kind::End) {
      ended = true;
      break;
    }
    if (effect.kind == LineEffect::Kind::AddressBase) addressBase = effect.addressBase;
    if (effect.kind == LineEffect::Kind::Data && effect.count > 0) {
      if (effect.start + effect.count - 1 > topAddress) return false;
      std::memcpy(image + effect.start, effect.data, effect.count);
      check.Data(number, effect.start, effect.count);
    }
  }
  content = check.Finish(pieces.lineNumber(), ended, pieces.carriageReturnSeen() && !pieces.lineFeedSeen());
  return placed == records && pieces.fault() == TextFault::None;
}

// The image the first pass measured, allocated and filled; empty after one
// message when it is too large or cannot be had.
std::unique_ptr<std::uint8_t[]> AllocateImage(const FirstPassResult& firstPass, std::uint32_t imageSizeLimit,
                                              std::uint32_t& topAddress, MessageSink& sink) {
  // The image covers address 0 to the top; refuse it before allocating when
  // it would pass the limit. This also refuses a top of 0xFFFFFFFF, whose size
  // does not fit 32 bits, and records that end past 0xFFFFFFFF.
  const std::uint64_t highest = firstPass.addressLimit > 0 ? firstPass.addressLimit - 1 : 0;
  const std::uint64_t imageSize = (highest | IMAGE_LINE_MASK) + 1;
  if (imageSize > imageSizeLimit) {
    sink.Report(ALLOCATION_ERROR_MESSAGE, "image of " + std::to_string(imageSize) + " bytes is above the limit of " +
                                              std::to_string(imageSizeLimit) + " bytes");
    return nullptr;
  }
  std::unique_ptr<std::uint8_t[]> bytes = TryAllocate(static_cast<std::size_t>(imageSize));
  if (!bytes) {
    sink.Report(ALLOCATION_ERROR_MESSAGE, "cannot allocate " + std::to_string(imageSize) + " bytes for the image");
    return nullptr;
  }
  std::memset(bytes.get(), HEX_FILL_BYTE, static_cast<std::size_t>(imageSize));
  topAddress = static_cast<std::uint32_t>(imageSize - 1);
  return bytes;
}

void GiveImage(std::unique_ptr<std::uint8_t[]> bytes, std::uint32_t topAddress, const HexLineReport& lines,
               HexContentReport content, HexImage& image) {
  image.topAddress = topAddress;
  image.bytes = std::move(bytes);
  image.lines = lines;
  image.content = std::move(content);
}

// Both passes over a text in memory: the first measures, the second places
// the same pieces into the image allocated in between.
int LoadHexText(std::string_view text, bool cutByReadError, std::uint32_t imageSizeLimit, HexImage& image,
                MessageSink& sink) {
  RecordScratch scratch;
  TextPieces measuring(text, cutByReadError);
  const FirstPassResult firstPass = MeasureLines(measuring, scratch);
  std::uint32_t topAddress = 0;
  std::unique_ptr<std::uint8_t[]> bytes = AllocateImage(firstPass, imageSizeLimit, topAddress, sink);
  if (!bytes) return -1;
  TextPieces placing(text, cutByReadError);
  HexContentReport content;
  PlaceLines(placing, bytes.get(), topAddress, firstPass.lines.records, scratch, content);
  GiveImage(std::move(bytes), topAddress, firstPass.lines, std::move(content), image);
  return 0;
}

// A negative length cannot be measured; one above the bound is not a hex file
// for this board, and is refused before anything is read or allocated.
bool FileLengthAccepted(std::int64_t fileLength, MessageSink& sink) {
  if (fileLength < 0) {
    sink.Report(FILE_LENGTH_ERROR_MESSAGE, "negative file length");
    return false;
  }
  if (static_cast<std::uint64_t>(fileLength) > HEX_FILE_LENGTH_LIMIT) {
    sink.Report(ALLOCATION_ERROR_MESSAGE, "file of " + std::to_string(fileLength) + " bytes is above the limit of " +
                                              std::to_string(HEX_FILE_LENGTH_LIMIT) + " bytes for a hex file");
    return false;
  }
  return true;
}

}  // namespace

std::uint32_t HexFieldValue(std::string_view text, std::size_t n) {
  const std::size_t present = std::min(n, text.size());
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < present; ++i) value = value * 16 + DigitValue(text[i]);
  // Missing characters are zero digits: each one shifts in a zero.
  const std::size_t missing = n - present;
  constexpr std::size_t DIGITS_PER_VALUE = 8;
  return missing >= DIGITS_PER_VALUE ? 0 : value << (4 * missing);
}

void ParseIntelHexRecord(std::string_view text, IntelHexRecord& record) { ParseIntelHexFields(text, record); }

void ParseSRecord(std::string_view text, SRecord& record) { ParseSRecordFields(text, record); }

std::string HexLineEndWarning(const HexLineReport& lines) {
  if (lines.lineFeedSeen || !lines.carriageReturnSeen) return {};
  return "the hex file has no LF line ends (its lines end in CR alone); " + std::to_string(lines.records) +
         (lines.records == 1 ? " record was read" : " records were read");
}

int LoadHexStream(std::FILE* stream, std::int64_t fileLength, HexImage& image, MessageSink& sink,
                  std::uint32_t imageSizeLimit) {
  if (!FileLengthAccepted(fileLength, sink)) return -1;
  const auto length = static_cast<std::size_t>(fileLength);
  // One byte at least, so that an empty file has a buffer too.
  std::unique_ptr<std::uint8_t[]> text = TryAllocate(std::max<std::size_t>(length, 1));
  if (!text) {
    sink.Report(ALLOCATION_ERROR_MESSAGE, "cannot allocate " + std::to_string(length) + " bytes for the file's text");
    return -1;
  }
  std::size_t got = 0;
  while (got < length) {
    const std::size_t read = std::fread(text.get() + got, 1, length - got, stream);
    got += read;
    if (read == 0) break;
  }
  const bool readError = got < length && std::ferror(stream) != 0;
  return LoadHexText({reinterpret_cast<const char*>(text.get()), got}, readError, imageSizeLimit, image, sink);
}

int LoadHexDescriptor(int fd, std::int64_t fileLength, HexImage& image, MessageSink& sink, std::size_t windowSize) {
  if (!FileLengthAccepted(fileLength, sink)) return -1;
  // Read, not mapped, and through a window of its own: the text costs no
  // more memory than the window whatever the file's length.
  windowSize = std::max(windowSize, HEX_LINE_BUFFER_SIZE + 1);
  std::unique_ptr<std::uint8_t[]> window = TryAllocate(windowSize);
  if (!window) {
    sink.Report(ALLOCATION_ERROR_MESSAGE, "cannot allocate " + std::to_string(windowSize) + " bytes to read the file");
    return -1;
  }
  const std::span<char> windowBytes(reinterpret_cast<char*>(window.get()), windowSize);
  const auto changed = [&sink](TextFault fault, int error) {
    sink.Report(FILE_LENGTH_ERROR_MESSAGE, fault == TextFault::ReadError
                                               ? "the file could not be read again: " + ErrnoText(error)
                                               : std::string("the file changed while it was read"));
    return -1;
  };

  RecordScratch scratch;
  TextPieces measuring(FileText{fd, static_cast<std::uint64_t>(fileLength)}, windowBytes);
  const FirstPassResult firstPass = MeasureLines(measuring, scratch);
  if (measuring.fault() != TextFault::None) return changed(measuring.fault(), measuring.readError());
  std::uint32_t topAddress = 0;
  std::unique_ptr<std::uint8_t[]> bytes = AllocateImage(firstPass, HEX_IMAGE_SIZE_LIMIT, topAddress, sink);
  if (!bytes) return -1;
  if (::lseek(fd, 0, SEEK_SET) != 0) return changed(TextFault::ReadError, errno);
  TextPieces placing(measuring.SecondPass(), windowBytes);
  HexContentReport content;
  if (!PlaceLines(placing, bytes.get(), topAddress, firstPass.lines.records, scratch, content)) {
    return changed(placing.fault(), placing.readError());
  }
  GiveImage(std::move(bytes), topAddress, firstPass.lines, std::move(content), image);
  return 0;
}

int LoadHexFile(const std::string& path, HexImage& image, MessageSink& sink) {
  if (path.empty()) {
    sink.Report(SELECT_FILE_MESSAGE, "");
    return -1;
  }
  // A FIFO cannot hang the open; it is refused below.
  UniqueFd fd(OpenForReading(path, FileKinds::RegularOnly));
  if (!fd.valid()) {
    sink.Report(OPEN_ERROR_MESSAGE, path + ": " + ErrnoText(errno));
    return -1;
  }
  struct stat status {};
  if (::fstat(fd.get(), &status) != 0) {
    sink.Report(FILE_LENGTH_ERROR_MESSAGE, path + ": " + ErrnoText(errno));
    return -1;
  }
  // The desktop platform refuses to open a directory as a file; refuse it
  // here too rather than read nothing from it.
  if (S_ISDIR(status.st_mode)) {
    sink.Report(OPEN_ERROR_MESSAGE, path + ": " + ErrnoText(EISDIR));
    return -1;
  }
  // Pipes and devices have no length to measure the text by.
  if (!S_ISREG(status.st_mode)) {
    sink.Report(FILE_LENGTH_ERROR_MESSAGE, path + ": not a regular file");
    return -1;
  }
  return LoadHexDescriptor(fd.get(), status.st_size, image, sink);
}

}  // namespace vorna
