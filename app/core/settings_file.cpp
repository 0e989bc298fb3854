#include "app/core/settings_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <limits>
#include <optional>
#include <sstream>
#include <utility>

namespace vorna {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view UTF8_BOM = "\xEF\xBB\xBF";
// Line end of files this program creates; an existing file keeps its own.
#ifdef _WIN32
constexpr std::string_view NEW_FILE_LINE_END = "\r\n";
#else
constexpr std::string_view NEW_FILE_LINE_END = "\n";
#endif
constexpr int TEMP_NAME_ATTEMPTS = 100;
constexpr mode_t NEW_FILE_MODE = 0666;  // narrowed by the umask

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }
bool IsQuote(char c) { return c == '"' || c == '\''; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

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
  const bool changedByReader = !value.empty() && (IsBlank(value.front()) || IsBlank(value.back()) ||
                                                  HasEnclosingQuotes(value));
  if (!changedByReader) return std::string(value);
  return "\"" + std::string(value) + "\"";
}

enum class LineKind { kOther, kSection, kKey };

struct ParsedLine {
  LineKind kind = LineKind::kOther;
  std::string_view name;
  std::string_view rawValue;  // keys only, untrimmed
};

ParsedLine ParseLine(std::string_view line) {
  const std::string_view text = Trim(line);
  if (text.empty() || text.front() == ';' || text.front() == '#') return {};
  if (text.front() == '[') {
    const std::size_t close = text.rfind(']');
    if (close == std::string_view::npos) return {};
    return {LineKind::kSection, Trim(text.substr(1, close - 1)), {}};
  }
  const std::size_t equals = text.find('=');
  if (equals == std::string_view::npos) return {};
  return {LineKind::kKey, Trim(text.substr(0, equals)), text.substr(equals + 1)};
}

// The file split into lines without their line ends.
struct ProfileText {
  std::vector<std::string> lines;
  std::string lineEnd{NEW_FILE_LINE_END};
  bool hasBom = false;
};

// The lines of `rest` (after any byte-order mark) without their line ends,
// pointing into it.
std::vector<std::string_view> LineViews(std::string_view rest) {
  std::vector<std::string_view> lines;
  while (!rest.empty()) {
    const std::size_t end = rest.find('\n');
    std::string_view line = rest.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    if (end == std::string_view::npos) break;
    rest.remove_prefix(end + 1);
  }
  return lines;
}

std::string_view SkipBom(std::string_view content) {
  return content.substr(0, UTF8_BOM.size()) == UTF8_BOM ? content.substr(UTF8_BOM.size()) : content;
}

ProfileText SplitLines(std::string_view content) {
  ProfileText text;
  const std::string_view rest = SkipBom(content);
  text.hasBom = rest.size() != content.size();
  const std::size_t firstBreak = rest.find('\n');
  if (firstBreak != std::string_view::npos) {
    text.lineEnd = (firstBreak > 0 && rest[firstBreak - 1] == '\r') ? "\r\n" : "\n";
  }
  for (const std::string_view line : LineViews(rest)) text.lines.emplace_back(line);
  return text;
}

std::optional<std::string> ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream content;
  content << in.rdbuf();
  return std::move(content).str();
}

// Index of the line holding `key` in a section named `section`: the first in
// file order.
template <typename Line>
std::optional<std::size_t> FindKeyLine(const std::vector<Line>& lines, std::string_view section,
                                       std::string_view key) {
  bool inSection = false;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const ParsedLine parsed = ParseLine(lines[i]);
    if (parsed.kind == LineKind::kSection) {
      inSection = EqualsIgnoringCase(parsed.name, section);
    } else if (inSection && parsed.kind == LineKind::kKey && EqualsIgnoringCase(parsed.name, key)) {
      return i;
    }
  }
  return std::nullopt;
}

std::optional<std::string> LookUp(const std::string& path, std::string_view section,
                                  std::string_view key) {
  const std::optional<std::string> content = ReadWholeFile(path);
  if (!content) return std::nullopt;
  // Views into the content, not copies: a huge file costs little more than
  // its own size.
  const std::vector<std::string_view> lines = LineViews(SkipBom(*content));
  const std::optional<std::size_t> line = FindKeyLine(lines, section, key);
  if (!line) return std::nullopt;
  return std::string(UnquoteValue(ParseLine(lines[*line]).rawValue));
}

void SetKey(ProfileText& text, std::string_view section, const ProfileEntry& entry) {
  std::string line = entry.key + "=" + QuoteValue(entry.value);
  if (const std::optional<std::size_t> existing = FindKeyLine(text.lines, section, entry.key)) {
    text.lines[*existing] = std::move(line);
    return;
  }
  // After the last key of the first section of that name, so that comments
  // heading the next section stay with it.
  std::optional<std::size_t> insertAfter;
  bool inSection = false;
  for (std::size_t i = 0; i < text.lines.size(); ++i) {
    const ParsedLine parsed = ParseLine(text.lines[i]);
    if (parsed.kind == LineKind::kSection) {
      if (insertAfter) break;
      inSection = EqualsIgnoringCase(parsed.name, section);
      if (inSection) insertAfter = i;
    } else if (inSection && parsed.kind == LineKind::kKey) {
      insertAfter = i;
    }
  }
  if (insertAfter) {
    text.lines.insert(text.lines.begin() + static_cast<std::ptrdiff_t>(*insertAfter) + 1,
                      std::move(line));
    return;
  }
  if (!text.lines.empty() && !Trim(text.lines.back()).empty()) text.lines.emplace_back();
  text.lines.push_back("[" + std::string(section) + "]");
  text.lines.push_back(std::move(line));
}

std::string JoinLines(const ProfileText& text) {
  std::string content;
  if (text.hasBom) content += UTF8_BOM;
  for (const std::string& line : text.lines) {
    content += line;
    content += text.lineEnd;
  }
  return content;
}

bool HasLineBreak(std::string_view text) { return text.find_first_of("\r\n") != std::string_view::npos; }

bool IsWritableName(std::string_view section, const ProfileEntry& entry) {
  return !Trim(section).empty() && section.find(']') == std::string_view::npos &&
         !HasLineBreak(section) && !Trim(entry.key).empty() &&
         entry.key.find('=') == std::string::npos && !HasLineBreak(entry.key) &&
         !HasLineBreak(entry.value);
}

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }
  // Closes now, so that a failing close (a late write error) is seen.
  bool Close() { return ::close(std::exchange(fd_, -1)) == 0; }

 private:
  int fd_;
};

// Removes the temporary file unless it was renamed into place.
class TemporaryFile {
 public:
  explicit TemporaryFile(std::string path) : path_(std::move(path)) {}
  ~TemporaryFile() {
    if (!path_.empty()) ::unlink(path_.c_str());
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  const std::string& path() const { return path_; }
  void Keep() { path_.clear(); }

 private:
  std::string path_;
};

bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t written = ::write(fd, data.data(), data.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

// Writing through a symbolic link replaces the file it points to, not the
// link.
fs::path ResolveTarget(const std::string& path) {
  std::error_code error;
  if (fs::is_symlink(path, error)) {
    const fs::path resolved = fs::weakly_canonical(path, error);
    if (!error) return resolved;
  }
  return path;
}

bool ReplaceFile(const std::string& path, std::string_view content) {
  const fs::path target = ResolveTarget(path);
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  std::error_code error;
  fs::create_directories(folder, error);
  if (error) return false;

  struct stat old {};
  const bool hadFile = ::stat(target.c_str(), &old) == 0;

  static unsigned counter = 0;
  std::optional<FileDescriptor> fd;
  std::optional<TemporaryFile> temp;
  for (int attempt = 0; attempt < TEMP_NAME_ATTEMPTS && !temp; ++attempt) {
    const std::string name = "." + target.filename().string() + "." + std::to_string(::getpid()) +
                             "." + std::to_string(counter++) + ".tmp";
    const std::string tempPath = (folder / name).string();
    const int opened = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, NEW_FILE_MODE);
    if (opened >= 0) {
      fd.emplace(opened);
      temp.emplace(tempPath);
    } else if (errno != EEXIST) {
      return false;
    }
  }
  if (!temp) return false;
  if (hadFile) ::fchmod(fd->get(), old.st_mode & 07777);
  if (!WriteAll(fd->get(), content) || ::fsync(fd->get()) != 0 || !fd->Close()) return false;
  if (::rename(temp->path().c_str(), target.c_str()) != 0) return false;
  temp->Keep();
  // Make the rename itself durable; the file is complete either way.
  const FileDescriptor folderFd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folderFd.get() >= 0) ::fsync(folderFd.get());
  return true;
}

}  // namespace

int ReadProfileInt(const std::string& path, std::string_view section, std::string_view key,
                   int defaultValue) {
  const std::optional<std::string> value = LookUp(path, section, key);
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

std::string ReadProfileString(const std::string& path, std::string_view section,
                              std::string_view key, std::string_view defaultValue,
                              std::size_t capacity) {
  const std::optional<std::string> value = LookUp(path, section, key);
  const std::string_view text = value ? std::string_view(*value) : defaultValue;
  if (capacity == 0) return {};
  return std::string(text.substr(0, capacity - 1));
}

bool WriteProfileString(const std::string& path, std::string_view section, std::string_view key,
                        std::string_view value) {
  return WriteProfileStrings(path, section, {{std::string(key), std::string(value)}});
}

bool WriteProfileStrings(const std::string& path, std::string_view section,
                         const std::vector<ProfileEntry>& entries) {
  for (const ProfileEntry& entry : entries) {
    if (!IsWritableName(section, entry)) return false;
  }
  std::optional<std::string> content = ReadWholeFile(path);
  if (!content) {
    // A file that exists but cannot be read must not be replaced by one that
    // holds only our keys.
    std::error_code error;
    if (fs::exists(path, error) || error) return false;
    content.emplace();
  }
  ProfileText text = SplitLines(*content);
  for (const ProfileEntry& entry : entries) SetKey(text, section, entry);
  return ReplaceFile(path, JoinLines(text));
}

bool ReplaceFileAtomically(const std::string& path, std::string_view content) { return ReplaceFile(path, content); }

}  // namespace vorna
