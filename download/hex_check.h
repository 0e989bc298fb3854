#pragma once
// The content check of a hex file: what a careful reader would flag in the
// lines the lenient reader loads (LoadHexFile collects it while it places
// the bytes, so the file is not read once more). The reader's result does
// not depend on it; the front ends show it before a download and refuse, or
// ask, when it found anything.

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

namespace vorna {

enum class HexProblemKind {
  Checksum,       // the checksum a record carries is not the one its bytes give
  NotHexDigit,    // a character of a record's fields is no hexadecimal digit
  ShortRecord,    // the line ends before the fields its byte count asks for
  NotRecord,      // a line that is no record, or the rest of one too long to read as one
  NoEndRecord,    // the file ends without one
  OutsideWindow,  // data outside the user program window, which is never sent
};

struct HexProblem {
  HexProblemKind kind = HexProblemKind::NotRecord;
  // Lines count from 1 as a text editor counts them: each LF (alone or after
  // a CR) ends one. A run of records outside the window spans several.
  std::size_t line = 0;
  std::size_t lastLine = 0;
  std::string text;
};

// How many problems a report keeps, and how many lines the front ends show.
inline constexpr std::size_t HEX_PROBLEM_LINES = 10;

struct HexContentReport {
  std::vector<HexProblem> problems;  // the first HEX_PROBLEM_LINES, in file order
  std::size_t count = 0;             // all of them
  // The lowest and highest address a data byte was placed at; low > high
  // when the file placed none.
  std::uint64_t dataLow = std::numeric_limits<std::uint64_t>::max();
  std::uint64_t dataHigh = 0;
};

// "0x0000–0x01FF": an address range as every message writes it.
std::string AddressRange(std::uint64_t low, std::uint64_t high);

// The report as the front ends show it, at most HEX_PROBLEM_LINES lines
// ("line 12: ...", "lines 3–40: ..."); when more were found, the last line
// says how many more. Empty for a clean file.
std::vector<std::string> HexProblemLines(const HexContentReport& report);

// What decoding a record found, for the check to judge.
struct RecordDigits {
  std::size_t length = 0;    // characters its byte count asks for, the first ':' or 'S' included
  bool nonHexDigit = false;  // one of those the line holds is no hexadecimal digit
  std::uint8_t checksum = 0;
  std::uint8_t expected = 0;  // the checksum its bytes give
};

// Collects the problems while the reader walks the lines it places, in file
// order; each call names the line of the reader's piece.
class HexContentCheck {
 public:
  // A piece that is no record (blank ones are no problem). `cutAtZero`: the
  // reader cut the piece at a zero byte that followed `text`.
  void OtherLine(std::size_t line, std::string_view text, bool cutAtZero);
  // A piece that continues a line longer than the reader takes at once.
  void LongLine(std::size_t line);
  void Record(std::size_t line, std::string_view text, bool cutAtZero, const RecordDigits& digits);
  void Data(std::size_t line, std::uint64_t start, std::size_t count);
  // `lastLine`: the last line read. `crAlone`: its lines end in CR alone.
  HexContentReport Finish(std::size_t lastLine, bool endRecordRead, bool crAlone);

 private:
  std::size_t Add(HexProblemKind kind, std::size_t line, std::string text);
  void CloseRun();

  // A run of data records outside the window, below or above it; its
  // problem is kept at `slot` (or not kept) and written once it closes.
  struct Run {
    bool open = false;
    bool above = false;
    std::size_t slot = 0;
    std::size_t lastLine = 0;
    std::uint64_t low = 0;
    std::uint64_t high = 0;
  };

  HexContentReport report_;
  Run run_;
  std::size_t longLine_ = 0;  // the last line reported as too long
};

}  // namespace vorna
