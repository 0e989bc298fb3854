#include "commands/profile.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <system_error>

#include "base/ascii_text.h"
#include "base/file_io.h"
#include "base/file_replace.h"
#include "base/quoted_text.h"

namespace vorna {
namespace {

constexpr std::size_t CHANNEL_INDEX = FIELD_COUNT;
constexpr std::size_t NAME_COUNT = FIELD_COUNT + 1;
constexpr int TENTHS_PER_MHZ = 10;
constexpr int LOWEST_TENTHS = static_cast<int>(MIN_FREQUENCY_MHZ * TENTHS_PER_MHZ);
constexpr std::string_view UTF8_BOM = "\xEF\xBB\xBF";
constexpr std::string_view HEX_PREFIX = "0x";

// What each value may hold: every value of its bits in the register.
struct ValueRange {
  std::int64_t low;
  std::int64_t high;
};

constexpr std::array<ValueRange, NAME_COUNT> RANGES = {{
    {0, 1},
    {0, 1},
    {0, 1},
    {0, 1},
    {0, 1},  // PE PDX MUTE EM EMS
    {0, 3},  // AG
    {0, 1},
    {0, 1},       // PLT SUBC
    {0, 3},       // PL, the register value
    {0, 1},       // ULD
    {0, 0x3FFF},  // P: 14 bits
    {0, 3},
    {0, 3},
    {0, 3},     // CIA CIB CEX
    {0, 0xFF},  // CHANNEL: one byte
}};

std::string_view NameOf(std::size_t index) {
  return index == CHANNEL_INDEX ? PROFILE_CHANNEL_NAME : FIELD_NAMES[index];
}

std::string Decimal(std::int64_t value) {
  char buffer[24];
  const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
  return std::string(buffer, end);
}

std::string Hexadecimal(std::int64_t value) {
  char buffer[24];
  const auto end = std::to_chars(buffer, buffer + sizeof buffer, value, 16).ptr;
  return std::string(HEX_PREFIX) + std::string(buffer, end);
}

std::string RangeText(std::size_t index) {
  const auto format = index == FIELD_P ? Hexadecimal : Decimal;
  return format(RANGES[index].low) + " to " + format(RANGES[index].high);
}

// The value as the file holds it.
std::int64_t FileValue(const BoardProfile& profile, std::size_t index) {
  if (index == CHANNEL_INDEX) return profile.channel;
  const std::int64_t value = profile.fields[index];
  return index == FIELD_PL ? value + PL_REGISTER_OFFSET : value;
}

std::optional<std::size_t> FindName(std::string_view name) {
  for (std::size_t i = 0; i < NAME_COUNT; ++i) {
    if (EqualsIgnoringCase(name, NameOf(i))) return i;
  }
  return std::nullopt;
}

std::string Quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

bool IsHexDigits(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
  });
}

// The value of `text`: decimal, or for P hexadecimal after 0x. The error
// text on failure.
std::optional<std::int64_t> ParseValue(std::size_t index, std::string_view text, std::string& error) {
  const std::string name(NameOf(index));
  std::string_view digits = text;
  int base = 10;
  if (index == FIELD_P) {
    // The register dump and --set write P's digits without 0x: "50" there
    // is 0x50, so a profile takes no P that could be read either way.
    const bool prefixed = EqualsIgnoringCase(digits.substr(0, HEX_PREFIX.size()), HEX_PREFIX);
    if (!prefixed && IsHexDigits(digits)) {
      error = name + " is hexadecimal: write " + std::string(HEX_PREFIX) + std::string(digits);
      return std::nullopt;
    }
    if (prefixed) digits.remove_prefix(HEX_PREFIX.size());
    base = 16;
  }
  // A sign has no place after 0x; a minus before decimal digits is below
  // every range, on -0 too.
  const bool negative = !digits.empty() && digits.front() == '-';
  std::int64_t value = 0;
  const auto [end, code] = std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
  const bool whole = end == digits.data() + digits.size();
  const bool signedHex = negative && base == 16;
  if (code == std::errc::result_out_of_range && whole && !signedHex) {
    error = name + " = " + std::string(text) + " is out of range (" + RangeText(index) + ")";
    return std::nullopt;
  }
  if (code != std::errc() || !whole || signedHex) {
    error = name + ": " + Quoted(text) + " is not a " +
            (index == FIELD_P ? "number (0x and hexadecimal digits)" : "decimal number");
    return std::nullopt;
  }
  if (negative || value < RANGES[index].low || value > RANGES[index].high) {
    error = name + " = " + std::string(text) + " is out of range (" + RangeText(index) + ")";
    return std::nullopt;
  }
  return value;
}

std::string FormatLine() { return std::string(PROFILE_MAGIC) + " " + Decimal(PROFILE_VERSION); }

// Line 1: the format line, or why the text is not a profile we read.
std::optional<std::string> CheckFormatLine(std::string_view line) {
  line = Trim(line);
  if (line == FormatLine()) return std::nullopt;
  const std::string prefix = std::string(PROFILE_MAGIC) + " ";
  if (line.substr(0, prefix.size()) == prefix) {
    const std::string_view version = Trim(line.substr(prefix.size()));
    int number = 0;
    const auto [end, code] = std::from_chars(version.data(), version.data() + version.size(), number);
    if (code == std::errc() && end == version.data() + version.size() && number > PROFILE_VERSION)
      return "profile version " + std::string(version) + " is newer than this program reads (" +
             Decimal(PROFILE_VERSION) + ")";
  }
  return "not a board profile: the first line must read " + Quoted(FormatLine());
}

}  // namespace

BoardProfile ProfileFromSnapshot(const RegisterSnapshot& snapshot) {
  return {DecodeFields(snapshot), snapshot.bytes[SNAPSHOT_CHANNEL]};
}

std::string ProfileValueText(const BoardProfile& profile, std::size_t index) {
  const std::int64_t value = FileValue(profile, index);
  return index == FIELD_P ? Hexadecimal(value & RANGES[FIELD_P].high) : Decimal(value);
}

std::string FormatProfile(const BoardProfile& profile) {
  std::string text = FormatLine() + "\n";
  text +=
      "# FM transmitter board settings: one FIELD = VALUE a line, each name once.\n"
      "# Lines starting with # or ; are comments. P is hexadecimal after 0x, the\n"
      "# others decimal; PL is the register value (2 is 1 mW, 3 is 2 mW).\n"
      "# CHANNEL counts 0.1 MHz steps above 87.5 MHz: 108 is 98.3 MHz.\n";
  for (std::size_t i = 0; i < NAME_COUNT; ++i)
    text += std::string(NameOf(i)) + " = " + ProfileValueText(profile, i) + "\n";
  return text;
}

ProfileParse ParseProfile(std::string_view text) {
  ProfileParse result;
  if (text.substr(0, UTF8_BOM.size()) == UTF8_BOM) text.remove_prefix(UTF8_BOM.size());
  if (text.size() > PROFILE_MAX_SIZE) {
    const auto line = 1 + static_cast<std::size_t>(std::count(text.begin(), text.begin() + PROFILE_MAX_SIZE, '\n'));
    result.problems.push_back({line, "larger than " + Decimal(PROFILE_MAX_SIZE) + " bytes: not a board profile"});
    return result;
  }
  std::array<std::size_t, NAME_COUNT> seenAt{};
  BoardProfile profile;
  std::size_t lineNumber = 0;
  for (std::size_t start = 0; start < text.size() || lineNumber == 0;) {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    const std::string_view line = Trim(text.substr(start, end - start));
    start = end + 1;
    ++lineNumber;
    if (lineNumber == 1) {
      if (auto wrong = CheckFormatLine(line)) {
        result.problems.push_back({1, *wrong});
        return result;
      }
      continue;
    }
    if (line.empty() || line.front() == '#' || line.front() == ';') continue;
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) {
      result.problems.push_back({lineNumber, "expected FIELD = VALUE, found " + Quoted(line)});
      continue;
    }
    const std::string_view name = Trim(line.substr(0, equals));
    const std::string_view value = Trim(line.substr(equals + 1));
    const auto index = FindName(name);
    if (!index) {
      result.problems.push_back({lineNumber, "unknown field " + Quoted(name)});
      continue;
    }
    const std::string canonical(NameOf(*index));
    if (seenAt[*index] != 0) {
      result.problems.push_back({lineNumber, canonical + " given again (first on line " +
                                                 Decimal(static_cast<std::int64_t>(seenAt[*index])) + ")"});
      continue;
    }
    seenAt[*index] = lineNumber;
    if (value.empty()) {
      result.problems.push_back({lineNumber, canonical + " has no value"});
      continue;
    }
    std::string error;
    const auto number = ParseValue(*index, value, error);
    if (!number) {
      result.problems.push_back({lineNumber, error});
      continue;
    }
    if (*index == CHANNEL_INDEX) {
      profile.channel = static_cast<FrequencyChannel>(*number);
    } else {
      profile.fields[*index] = static_cast<std::int32_t>(*index == FIELD_PL ? *number - PL_REGISTER_OFFSET : *number);
    }
  }
  std::string missing;
  for (std::size_t i = 0; i < NAME_COUNT; ++i) {
    if (seenAt[i] == 0) missing += (missing.empty() ? "" : ", ") + std::string(NameOf(i));
  }
  if (!missing.empty()) result.problems.push_back({lineNumber, "missing " + missing});
  if (result.problems.empty()) result.profile = profile;
  return result;
}

ProfileParse ReadProfileFile(const std::string& path) {
  // One byte more than a profile may have is enough to tell it is too large.
  ReadFailure failure;
  const std::optional<std::string> text =
      ReadWholeFile(path, PROFILE_MAX_SIZE + UTF8_BOM.size() + 1, FileKinds::Any, &failure);
  if (text) return ParseProfile(*text);
  // A failing read is reported as the stream library reports it, whatever
  // the system said.
  const int reason = failure.opened ? EIO : failure.error;
  ProfileParse result;
  result.problems.push_back({0, "cannot be read: " + std::generic_category().message(reason)});
  return result;
}

std::string FormatProfileProblem(const std::string& path, const ProfileProblem& problem) {
  // The name and what the problem quotes of the file come from outside.
  if (problem.line == 0) return EscapeControls(path + ": " + problem.what);
  return EscapeControls(path + ":" + Decimal(static_cast<std::int64_t>(problem.line)) + ": " + problem.what);
}

bool WriteProfileFile(const std::string& path, const BoardProfile& profile, std::error_code* error) {
  // The user chose the file, and its folder with it: none is made.
  const std::error_code failure = ReplaceFileAtomically(
      path, FormatProfile(profile), {ReplaceRule::OwnFilesOnly, Durability::Synced, MissingFolders::Fail});
  if (error != nullptr) *error = failure;
  return !failure;
}

RegisterBytes ProfileRegisters(const BoardProfile& profile) { return EncodeFields(profile.fields); }

std::string ChannelFrequencyText(FrequencyChannel channel) {
  const int tenths = LOWEST_TENTHS + channel;
  return Decimal(tenths / TENTHS_PER_MHZ) + "." + Decimal(tenths % TENTHS_PER_MHZ);
}

double ChannelFrequencyMhz(FrequencyChannel channel) {
  return static_cast<double>(LOWEST_TENTHS + channel) / TENTHS_PER_MHZ;
}

std::string FormatProfileDump(const BoardProfile& profile) {
  return FormatRegisterDump(profile.fields) + "\r\n " + std::string(PROFILE_CHANNEL_NAME) + " = " +
         Decimal(profile.channel) + " (" + ChannelFrequencyText(profile.channel) + " MHz)";
}

std::vector<ProfileDifference> DiffProfiles(const BoardProfile& board, const BoardProfile& file) {
  std::vector<ProfileDifference> differences;
  for (std::size_t i = 0; i < NAME_COUNT; ++i) {
    if (FileValue(board, i) != FileValue(file, i))
      differences.push_back({NameOf(i), ProfileValueText(board, i), ProfileValueText(file, i)});
  }
  return differences;
}

}  // namespace vorna
