#include "app/settings/settings_file.h"

#include <cerrno>
#include <cstdint>
#include <limits>
#include <optional>

#include "base/ascii_text.h"
#include "base/file_io.h"
#include "base/file_replace.h"
#include "base/platform.h"

namespace vorna {
namespace {

constexpr std::string_view UTF8_BOM = "\xEF\xBB\xBF";

bool IsQuote(char c) { return c == '"' || c == '\''; }

bool HasEnclosingQuotes(std::string_view value) {
  return value.size() >= 2 && IsQuote(value.front()) && value.back() == value.front();
}

// What a value read from the file means: trimmed, one pair of quotes off.
std::string_view UnquoteValue(std::string_view raw) {
  std::string_view value = Trim(raw);
  if (HasEnclosingQuotes(value)) value = value.substr(1, value.size() - 2);
  return value;
}

// The inverse of UnquoteValue for every value.
std::string QuoteValue(std::string_view value) {
  const bool changedByReader =
      !value.empty() && (IsBlank(value.front()) || IsBlank(value.back()) || HasEnclosingQuotes(value));
  if (!changedByReader) return std::string(value);
  return "\"" + std::string(value) + "\"";
}

enum class LineKind { Other, Section, Key };

struct ParsedLine {
  LineKind kind = LineKind::Other;
  std::string_view name;
  std::string_view rawValue;  // keys only, untrimmed
};

ParsedLine ParseLine(std::string_view line) {
  const std::string_view text = Trim(line);
  if (text.empty() || text.front() == ';' || text.front() == '#') return {};
  if (text.front() == '[') {
    const std::size_t close = text.rfind(']');
    if (close == std::string_view::npos) return {};
    return {LineKind::Section, Trim(text.substr(1, close - 1)), {}};
  }
  const std::size_t equals = text.find('=');
  if (equals == std::string_view::npos) return {};
  return {LineKind::Key, Trim(text.substr(0, equals)), text.substr(equals + 1)};
}

std::size_t BomSize(std::string_view content) {
  return content.substr(0, UTF8_BOM.size()) == UTF8_BOM ? UTF8_BOM.size() : 0;
}

// One line of the file as offsets into it: its text, then its line end
// ("\r\n", "\n", "\r" alone, or nothing on a last line without one).
struct Line {
  std::size_t begin = 0;
  std::size_t textEnd = 0;
  std::size_t end = 0;
};

// Visits the lines of `content` after any byte-order mark, in order, until
// `visit` returns false. One pass and no copies, so that reading and
// updating take time and memory in proportion to the file.
template <typename Visit>
void ForEachLine(std::string_view content, Visit&& visit) {
  std::size_t at = BomSize(content);
  while (at < content.size()) {
    const std::size_t lineEnd = content.find_first_of("\r\n", at);
    Line line{at, content.size(), content.size()};
    if (lineEnd != std::string_view::npos) {
      line.textEnd = lineEnd;
      const bool crLf = content.compare(lineEnd, 2, "\r\n") == 0;
      line.end = lineEnd + (crLf ? 2 : 1);
    }
    if (!visit(line, content.substr(line.begin, line.textEnd - line.begin))) return;
    at = line.end;
  }
}

// The line holding `key` in a section named `section`: the first in file
// order.
std::optional<Line> FindKeyLine(std::string_view content, std::string_view section, std::string_view key) {
  std::optional<Line> found;
  bool inSection = false;
  ForEachLine(content, [&](const Line& line, std::string_view text) {
    const ParsedLine parsed = ParseLine(text);
    if (parsed.kind == LineKind::Section) {
      inSection = EqualsIgnoringCase(parsed.name, section);
    } else if (inSection && parsed.kind == LineKind::Key && EqualsIgnoringCase(parsed.name, key)) {
      found = line;
      return false;
    }
    return true;
  });
  return found;
}

// What reading the settings file found. An unusable file exists but must be
// taken neither as settings nor as a place to write: not a regular file
// (a FIFO would block, a device would never end), too large, or unreadable.
enum class FileState { Missing, Read, Unusable };

struct FileContent {
  FileState state = FileState::Missing;
  std::string text;
};

FileContent ReadSettingsText(const std::string& path) {
  // One byte past the limit tells a file that is too large.
  ReadFailure failure;
  std::optional<std::string> text = ReadWholeFile(path, SETTINGS_FILE_SIZE_LIMIT + 1, FileKinds::RegularOnly, &failure);
  if (text && text->size() <= SETTINGS_FILE_SIZE_LIMIT) return {FileState::Read, std::move(*text)};
  const bool missing = !failure.opened && (failure.error == ENOENT || failure.error == ENOTDIR);
  return {missing ? FileState::Missing : FileState::Unusable, {}};
}

std::optional<std::string_view> LookUpText(std::string_view content, std::string_view section, std::string_view key) {
  const std::optional<Line> line = FindKeyLine(content, section, key);
  if (!line) return std::nullopt;
  return UnquoteValue(ParseLine(content.substr(line->begin, line->textEnd - line->begin)).rawValue);
}

// The content of a file that can be read as settings, or nothing.
std::optional<std::string> ReadableSettings(const std::string& path) {
  FileContent content = ReadSettingsText(path);
  if (content.state != FileState::Read) return std::nullopt;
  return std::move(content.text);
}

// The line end of the file's first line; a file without one gets the
// platform's.
std::string_view FileLineEnd(std::string_view content) {
  std::string_view lineEnd = NEW_FILE_LINE_END;
  ForEachLine(content, [&](const Line& line, std::string_view) {
    if (line.end > line.textEnd) lineEnd = content.substr(line.textEnd, line.end - line.textEnd);
    return false;
  });
  return lineEnd;
}

// Sets one key in `content`, touching no byte of any other line: a changed
// key keeps its place and its own line end; a new key goes after the last
// key of its section and ends as that line does; a new section goes at the
// end.
void SetKey(std::string& content, std::string_view section, const ProfileEntry& entry) {
  const std::string line = entry.key + "=" + QuoteValue(entry.value);
  if (const std::optional<Line> existing = FindKeyLine(content, section, entry.key)) {
    content.replace(existing->begin, existing->textEnd - existing->begin, line);
    return;
  }
  const std::string lineEnd(FileLineEnd(content));
  // After the last key of the first section of that name, so that comments
  // heading the next section stay with it.
  std::optional<Line> insertAfter;
  bool inSection = false;
  std::optional<Line> last;
  bool lastBlank = true;
  ForEachLine(content, [&](const Line& current, std::string_view text) {
    const ParsedLine parsed = ParseLine(text);
    if (parsed.kind == LineKind::Section) {
      if (insertAfter) return false;
      inSection = EqualsIgnoringCase(parsed.name, section);
      if (inSection) insertAfter = current;
    } else if (inSection && parsed.kind == LineKind::Key) {
      insertAfter = current;
    }
    last = current;
    lastBlank = Trim(text).empty();
    return true;
  });
  if (insertAfter) {
    const bool hasEnd = insertAfter->end > insertAfter->textEnd;
    const std::string_view ownEnd(content.data() + insertAfter->textEnd, insertAfter->end - insertAfter->textEnd);
    content.insert(insertAfter->end, hasEnd ? line + std::string(ownEnd) : lineEnd + line);
    return;
  }
  if (last && last->end == last->textEnd) content += lineEnd;
  if (last && !lastBlank) content += lineEnd;
  content += "[" + std::string(section) + "]" + lineEnd + line + lineEnd;
}

bool HasLineBreak(std::string_view text) { return text.find_first_of("\r\n") != std::string_view::npos; }

bool IsWritableSection(std::string_view section) {
  return !Trim(section).empty() && section.find(']') == std::string_view::npos && !HasLineBreak(section);
}

bool IsWritableEntry(const ProfileEntry& entry) {
  return !Trim(entry.key).empty() && entry.key.find('=') == std::string::npos && !HasLineBreak(entry.key) &&
         !HasLineBreak(entry.value);
}

bool AnyWritable(std::string_view section, const std::vector<ProfileEntry>& entries) {
  if (!IsWritableSection(section)) return false;
  for (const ProfileEntry& entry : entries) {
    if (IsWritableEntry(entry)) return true;
  }
  return false;
}

}  // namespace

int ProfileIntIn(std::string_view content, std::string_view section, std::string_view key, int defaultValue) {
  const std::optional<std::string_view> value = LookUpText(content, section, key);
  if (!value || value->empty()) return defaultValue;
  std::string_view digits = Trim(*value);
  bool negative = false;
  if (!digits.empty() && (digits.front() == '+' || digits.front() == '-')) {
    negative = digits.front() == '-';
    digits.remove_prefix(1);
  }
  std::int64_t number = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9') break;
    number = number * 10 + (c - '0');
    if (number > std::numeric_limits<int>::max()) return 0;
  }
  return negative ? 0 : static_cast<int>(number);
}

std::string ProfileStringIn(std::string_view content, std::string_view section, std::string_view key,
                            std::string_view defaultValue, std::size_t capacity) {
  const std::optional<std::string_view> value = LookUpText(content, section, key);
  const std::string_view text = value.value_or(defaultValue);
  if (capacity == 0) return {};
  return std::string(text.substr(0, capacity - 1));
}

ProfileEdit SetProfileStringsIn(std::string& content, std::string_view section,
                                const std::vector<ProfileEntry>& entries) {
  if (!AnyWritable(section, entries)) return ProfileEdit::None;
  bool allWritable = true;
  for (const ProfileEntry& entry : entries) {
    if (IsWritableEntry(entry)) {
      SetKey(content, section, entry);
    } else {
      allWritable = false;
    }
  }
  return allWritable ? ProfileEdit::Complete : ProfileEdit::Partial;
}

int ReadProfileInt(const std::string& path, std::string_view section, std::string_view key, int defaultValue) {
  const std::optional<std::string> content = ReadableSettings(path);
  return content ? ProfileIntIn(*content, section, key, defaultValue) : defaultValue;
}

std::string ReadProfileString(const std::string& path, std::string_view section, std::string_view key,
                              std::string_view defaultValue, std::size_t capacity) {
  const std::optional<std::string> content = ReadableSettings(path);
  return ProfileStringIn(content ? std::string_view(*content) : std::string_view(), section, key, defaultValue,
                         capacity);
}

bool WriteProfileString(const std::string& path, std::string_view section, std::string_view key,
                        std::string_view value) {
  return WriteProfileStrings(path, section, {{std::string(key), std::string(value)}});
}

bool WriteProfileStrings(const std::string& path, std::string_view section, const std::vector<ProfileEntry>& entries) {
  // Nothing is touched when no entry could be written.
  if (!AnyWritable(section, entries)) return false;
  const std::optional<ReplaceTarget> target = FindOwnReplaceTarget(path);
  if (!target) return false;
  FileContent content;
  if (target->exists) {
    // A file that cannot be taken as settings must not be replaced by one
    // that holds only our keys.
    content = ReadSettingsText(target->path);
    if (content.state != FileState::Read) return false;
  }
  const ProfileEdit edit = SetProfileStringsIn(content.text, section, entries);
  return !ReplaceFileAtomically(target->path, content.text) && edit == ProfileEdit::Complete;
}

}  // namespace vorna
