// The settings file's reader and writer on arbitrary content: read the two
// settings, write them back, read again. The values survive the round trip,
// every other key reads as before, and every line that holds neither setting
// is kept in order. The content stays in memory: the file functions read and
// replace the file around these same functions, and the file handling has
// tests of its own, so a run costs no system call.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/settings/settings_file.h"
#include "fuzz_check.h"

namespace {

constexpr std::string_view SECTION = "SETTING";
constexpr std::string_view KEY_COM = "COM";
constexpr std::string_view KEY_FILE = "FILE";
constexpr std::string_view BYTE_ORDER_MARK = "\xEF\xBB\xBF";
constexpr int COM_DEFAULT = 1;
// Other keys whose reading is compared before and after, at most.
constexpr std::size_t MAX_PROBES = 32;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

bool SameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

// Lines as the settings file splits them: at CR LF, at LF, or at a CR
// alone. The writer may unify the line ends, so they are not compared.
std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const std::size_t end = text.find_first_of("\r\n");
    lines.push_back(text.substr(0, end));
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1));
  }
  return lines;
}

// Whether `line` might be the line of a setting, whatever its section: the
// writer may replace such a line.
bool MayHoldSetting(std::string_view line) {
  const std::string_view text = Trim(line);
  if (text.empty() || text.front() == ';' || text.front() == '#' || text.front() == '[') return false;
  const std::size_t equals = text.find('=');
  if (equals == std::string_view::npos) return false;
  const std::string_view key = Trim(text.substr(0, equals));
  return SameIgnoringCase(key, KEY_COM) || SameIgnoringCase(key, KEY_FILE);
}

// Section and key names that the content seems to use: questions to ask the
// reader before and after the write. Names need not be parsed exactly as
// the reader parses them; the answers are compared, not predicted.
std::vector<std::pair<std::string, std::string>> Probes(std::string_view content) {
  std::vector<std::pair<std::string, std::string>> probes;
  std::string section;
  for (const std::string_view line : Lines(content)) {
    if (probes.size() == MAX_PROBES) break;
    const std::string_view text = Trim(line);
    if (!text.empty() && text.front() == '[') {
      section = std::string(Trim(text.substr(1, text.rfind(']') - 1)));
      continue;
    }
    const std::size_t equals = text.find('=');
    if (equals == std::string_view::npos) continue;
    const std::string key(Trim(text.substr(0, equals)));
    if (SameIgnoringCase(section, SECTION) && (SameIgnoringCase(key, KEY_COM) || SameIgnoringCase(key, KEY_FILE)))
      continue;
    probes.emplace_back(section, key);
  }
  return probes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view content(reinterpret_cast<const char*>(data), size);

  const int com = vorna::ProfileIntIn(content, SECTION, KEY_COM, COM_DEFAULT);
  const std::string file = vorna::ProfileStringIn(content, SECTION, KEY_FILE, "");
  const auto probes = Probes(content);
  std::vector<std::string> before;
  before.reserve(probes.size());
  for (const auto& [section, key] : probes) before.push_back(vorna::ProfileStringIn(content, section, key, "<absent>"));

  std::string after(content);
  const vorna::ProfileEdit edit = vorna::SetProfileStringsIn(
      after, SECTION, {{std::string(KEY_COM), std::to_string(com)}, {std::string(KEY_FILE), file}});
  // COM can always be written; only a FILE value that holds a line break is
  // left out, and then its old line stays, so every check below holds
  // either way.
  FUZZ_CHECK(edit != vorna::ProfileEdit::None, "COM is always written");
  if (edit == vorna::ProfileEdit::Partial) {
    FUZZ_CHECK(file.find_first_of("\r\n") != std::string::npos, "an entry is left out only for a line break");
  }

  FUZZ_CHECK(vorna::ProfileIntIn(after, SECTION, KEY_COM, COM_DEFAULT) == com, "COM survives the round trip");
  FUZZ_CHECK(vorna::ProfileStringIn(after, SECTION, KEY_FILE, "") == file, "FILE survives the round trip");
  for (std::size_t i = 0; i < probes.size(); ++i) {
    FUZZ_CHECK(vorna::ProfileStringIn(after, probes[i].first, probes[i].second, "<absent>") == before[i],
               "another key reads as before");
  }

  // The byte-order mark stays, and every old line that cannot be a setting's
  // line is still there, in order.
  const bool oldMark = content.starts_with(BYTE_ORDER_MARK);
  FUZZ_CHECK(std::string_view(after).starts_with(BYTE_ORDER_MARK) == oldMark, "the byte-order mark is kept");
  const std::size_t markLength = oldMark ? BYTE_ORDER_MARK.size() : 0;
  const auto oldLines = Lines(content.substr(markLength));
  const auto newLines = Lines(std::string_view(after).substr(markLength));
  std::size_t next = 0;
  for (const std::string_view line : oldLines) {
    if (MayHoldSetting(line)) continue;
    while (next < newLines.size() && newLines[next] != line) ++next;
    FUZZ_CHECK(next < newLines.size(), "a line that holds no setting is kept in its place");
    ++next;
  }
  FUZZ_CHECK(newLines.size() <= oldLines.size() + 4, "at most a blank line, a header and two keys are added");
  return 0;
}
