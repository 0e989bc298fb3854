// The dialogs' number readings on any text a user can type: the COM Port
// dialog's "%d" and the Advanced Setting hex box's "%x", each compared with
// the C library's own conversion of the same text.

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "commands/advanced_dialog_state.h"
#include "commands/commands.h"
#include "commands/text_scan.h"
#include "fuzz_check.h"

namespace {

// Stands for a port number or P that the text must not change.
constexpr std::int32_t UNCHANGED = 0x5A5A5A;
constexpr int DECIMAL = 10;
constexpr int HEXADECIMAL = 16;
constexpr std::size_t DIGITS_IN_32_BITS = 8;

// strtoll reads what "%d" reads; the result is the number when it fits 32
// bits. The text stops at its first zero byte for the C library, and so it
// does for the scanner, which takes no zero byte as a digit or a blank.
std::optional<std::int32_t> ExpectedDecimal(const std::string& text) {
  const char* begin = text.c_str();
  char* end = nullptr;
  errno = 0;
  const long long value = std::strtoll(begin, &end, DECIMAL);
  if (end == begin || errno == ERANGE || value < INT32_MIN || value > INT32_MAX) return std::nullopt;
  return static_cast<std::int32_t>(value);
}

// strtoull reads what "%x" reads. Its value is exact below 2^64; beyond that
// the low 32 bits are those of the last eight digits it took.
std::optional<std::int32_t> ExpectedHex(const std::string& text) {
  const char* begin = text.c_str();
  char* end = nullptr;
  errno = 0;
  const unsigned long long value = std::strtoull(begin, &end, HEXADECIMAL);
  if (end == begin) return std::nullopt;
  if (errno != ERANGE) return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
  const std::string_view taken(begin, static_cast<std::size_t>(end - begin));
  const std::string lastDigits(taken.substr(taken.size() - DIGITS_IN_32_BITS));
  auto low = static_cast<std::uint32_t>(std::strtoull(lastDigits.c_str(), nullptr, HEXADECIMAL));
  if (taken.find('-') != std::string_view::npos) low = 0u - low;
  return static_cast<std::int32_t>(low);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::string cText = text.c_str();  // what the C library sees

  const auto decimal = vorna::ScanDecimal(text);
  FUZZ_CHECK(decimal == vorna::ScanDecimal(cText), "a zero byte ends the decimal number");
  FUZZ_CHECK(decimal == ExpectedDecimal(cText), "ScanDecimal reads as strtoll does");
  const auto hex = vorna::ScanHex(text);
  FUZZ_CHECK(hex == vorna::ScanHex(cText), "a zero byte ends the hexadecimal number");
  FUZZ_CHECK(hex == ExpectedHex(cText), "ScanHex reads as strtoull does, modulo 2^32");

  // The COM Port dialog's OK: empty text changes nothing, 0 becomes 1.
  std::int32_t port = UNCHANGED;
  vorna::ApplyComPortText(port, text);
  const std::int32_t expectedPort = text.empty() ? UNCHANGED : decimal.value_or(UNCHANGED);
  FUZZ_CHECK(port == (expectedPort == 0 ? 1 : expectedPort), "the COM Port dialog takes the \"%d\" reading");
  std::int32_t zero = 0;
  vorna::ApplyComPortText(zero, text);
  FUZZ_CHECK((zero == 0) == text.empty(), "0 stays only when the text is empty");

  // The Advanced Setting's OK with the text in the hex box.
  vorna::TransmitterFields fields{};
  fields[vorna::FIELD_P] = UNCHANGED;
  vorna::AdvancedState state = vorna::OpenAdvancedState(fields);
  vorna::SelectField(state, vorna::FIELD_P);
  state.hexText = text;
  const vorna::TransmitterFields accepted = vorna::AcceptAdvanced(state, false);
  FUZZ_CHECK(accepted[vorna::FIELD_P] == hex.value_or(UNCHANGED), "the hex box takes the \"%x\" reading");
  return 0;
}
