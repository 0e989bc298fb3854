#include "download/hex_check.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <utility>

#include "base/quoted_text.h"
#include "download/hex_file.h"
#include "link/protocol.h"

namespace vorna {
namespace {

constexpr std::string_view DASH = "\u2013";
constexpr std::string_view ELLIPSIS = "\u2026";
// How much of a line that is no record its problem quotes.
constexpr std::size_t EXCERPT_LENGTH = 32;
constexpr std::uint64_t WINDOW_START = USER_PROGRAM_START;
constexpr std::uint64_t WINDOW_END = USER_PROGRAM_START + USER_PROGRAM_MAX_LENGTH;  // past the last address

bool IsHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f'); }

bool IsBlank(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c == ' ' || c == '\t' || c == '\r'; });
}

std::string HexNumber(std::uint64_t value, int digits) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%0*" PRIX64, digits, value);
  return text;
}

// A character as a message shows it: quoted when printable ASCII, escaped
// otherwise (a lone byte of a longer UTF-8 sequence is no character).
std::string ShownCharacter(char c) {
  const auto byte = static_cast<unsigned char>(c);
  if (byte >= 0x20 && byte < 0x7F) return std::string("'") + c + "'";
  char text[8];
  std::snprintf(text, sizeof text, "\\x%02x", byte);
  return text;
}

// The start of a line, cut between UTF-8 characters, controls escaped.
std::string Excerpt(std::string_view text, bool cutAtZero) {
  std::string shown(text.substr(0, EXCERPT_LENGTH));
  const bool cut = shown.size() < text.size();
  if (cut) {
    while (!shown.empty() && (static_cast<unsigned char>(shown.back()) & 0xC0) == 0x80) shown.pop_back();
    if (!shown.empty() && static_cast<unsigned char>(shown.back()) >= 0xC0) shown.pop_back();
  }
  if (!cut && cutAtZero) shown += '\0';
  return "\"" + EscapeControls(shown) + (cut ? std::string(ELLIPSIS) : "") + "\"";
}

std::string LinePrefix(const HexProblem& problem) {
  if (problem.lastLine <= problem.line) return "line " + std::to_string(problem.line) + ": ";
  return "lines " + std::to_string(problem.line) + std::string(DASH) + std::to_string(problem.lastLine) + ": ";
}

}  // namespace

std::string AddressRange(std::uint64_t low, std::uint64_t high) {
  if (low == high) return HexNumber(low, 4);
  return HexNumber(low, 4) + std::string(DASH) + HexNumber(high, 4);
}

std::vector<std::string> HexProblemLines(const HexContentReport& report) {
  std::vector<std::string> lines;
  const bool more = report.count > HEX_PROBLEM_LINES;
  const std::size_t shown = more ? HEX_PROBLEM_LINES - 1 : report.problems.size();
  for (std::size_t i = 0; i < shown && i < report.problems.size(); ++i)
    lines.push_back(LinePrefix(report.problems[i]) + report.problems[i].text);
  if (more) lines.push_back("and " + std::to_string(report.count - shown) + " more problems");
  return lines;
}

std::size_t HexContentCheck::Add(HexProblemKind kind, std::size_t line, std::string text) {
  ++report_.count;
  if (report_.problems.size() >= HEX_PROBLEM_LINES) return HEX_PROBLEM_LINES;
  report_.problems.push_back({kind, line, line, std::move(text)});
  return report_.problems.size() - 1;
}

void HexContentCheck::OtherLine(std::size_t line, std::string_view text, bool cutAtZero) {
  if (!cutAtZero && IsBlank(text)) return;
  Add(HexProblemKind::NotRecord, line, "not a record: " + Excerpt(text, cutAtZero));
}

void HexContentCheck::LongLine(std::size_t line) {
  if (line == longLine_) return;
  longLine_ = line;
  Add(HexProblemKind::NotRecord, line,
      "longer than " + std::to_string(HEX_LINE_BUFFER_SIZE - 1) +
          " characters: the reader takes the rest as lines of their own");
}

void HexContentCheck::Record(std::size_t line, std::string_view text, bool cutAtZero, const RecordDigits& digits) {
  const std::size_t present = std::min(text.size(), digits.length);
  if (digits.nonHexDigit || (cutAtZero && present < digits.length)) {
    // The first character after the record's start that is no digit.
    std::size_t at = 1;
    while (at < present && IsHexDigit(text[at])) ++at;
    const char c = at < present ? text[at] : '\0';
    Add(HexProblemKind::NotHexDigit, line,
        "character " + ShownCharacter(c) + " at column " + std::to_string(at + 1) + " is not a hexadecimal digit");
  } else if (present < digits.length) {
    const std::size_t countAt = text.front() == 'S' ? 2 : 1;
    Add(HexProblemKind::ShortRecord, line,
        "record ends after " + std::to_string(text.size()) + " characters; its byte count " +
            HexNumber(HexFieldValue(text.substr(countAt), 2), 2) + " asks for " + std::to_string(digits.length));
  } else if (digits.checksum != digits.expected) {
    Add(HexProblemKind::Checksum, line,
        "checksum " + HexNumber(digits.checksum, 2) + " does not match the record's bytes, which give " +
            HexNumber(digits.expected, 2));
  }
}

void HexContentCheck::Data(std::size_t line, std::uint64_t start, std::size_t count) {
  if (count == 0) return;
  const std::uint64_t end = start + count;  // past the last byte
  report_.dataLow = std::min(report_.dataLow, start);
  report_.dataHigh = std::max(report_.dataHigh, end - 1);
  // A record holds far fewer bytes than the window: it reaches out of one
  // side of it at most.
  const bool below = start < WINDOW_START;
  const bool above = end > WINDOW_END;
  if (!below && !above) {
    CloseRun();
    return;
  }
  const std::uint64_t low = below ? start : std::max(start, WINDOW_END);
  const std::uint64_t high = below ? std::min(end, WINDOW_START) - 1 : end - 1;
  if (run_.open && run_.above == above) {
    run_.lastLine = line;
    run_.low = std::min(run_.low, low);
    run_.high = std::max(run_.high, high);
    return;
  }
  CloseRun();
  run_ = {true, above, Add(HexProblemKind::OutsideWindow, line, {}), line, low, high};
}

void HexContentCheck::CloseRun() {
  if (!run_.open) return;
  run_.open = false;
  if (run_.slot >= report_.problems.size()) return;
  HexProblem& problem = report_.problems[run_.slot];
  problem.lastLine = run_.lastLine;
  problem.text = "data at " + AddressRange(run_.low, run_.high) + " lies outside " +
                 AddressRange(WINDOW_START, WINDOW_END - 1) + " and will not be sent";
}

HexContentReport HexContentCheck::Finish(std::size_t lastLine, bool endRecordRead, bool crAlone) {
  CloseRun();
  if (!endRecordRead) {
    Add(HexProblemKind::NoEndRecord, std::max<std::size_t>(lastLine, 1),
        crAlone ? "the file ends without an end record (its lines end in CR alone, which the reader takes as one line)"
                : "the file ends without an end record");
  }
  return std::move(report_);
}

}  // namespace vorna
