#include "sim/state_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <sstream>
#include <vector>

#include "base/file_io.h"
#include "base/unique_fd.h"

namespace vorna::sim {

namespace {

constexpr const char* STATE_FILE_HEADER = "# vorna-board-sim stored defaults: A0 A1 A2 A3 A4 A5 A6 A7 A8 channel\n";
constexpr char COMMENT_MARK = '#';
constexpr int HEX_BASE = 16;
constexpr std::size_t HEX_DIGITS = 2;
constexpr mode_t FILE_MODE = 0644;

std::string Failure(const std::string& what, const std::string& path) {
  return what + " " + path + ": " + std::strerror(errno);
}

}  // namespace

std::string FormatStateFile(const BoardState& state) { return STATE_FILE_HEADER + HexBytes(state.bytes) + "\n"; }

StateParse ParseStateFile(const std::string& text) {
  std::istringstream lines(text);
  std::string line;
  int lineNumber = 0;
  while (std::getline(lines, line)) {
    ++lineNumber;
    if (line.empty() || line[0] == COMMENT_MARK) continue;
    const std::string where = "line " + std::to_string(lineNumber) + ": ";
    BoardState state;
    std::istringstream fields(line);
    std::string field;
    std::size_t count = 0;
    while (fields >> field) {
      std::uint8_t value = 0;
      const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), value, HEX_BASE);
      if (field.size() != HEX_DIGITS || error != std::errc() || end != field.data() + field.size()) {
        return {std::nullopt, where + "\"" + field + "\" is not a two-digit hexadecimal byte"};
      }
      if (count == state.bytes.size()) {
        return {std::nullopt, where + "more than " + std::to_string(state.bytes.size()) + " bytes"};
      }
      state.bytes[count++] = value;
    }
    if (count != state.bytes.size()) {
      return {std::nullopt, where + std::to_string(count) + " bytes, expected " + std::to_string(state.bytes.size())};
    }
    return {state, {}};
  }
  return {std::nullopt, "no line with the register bytes"};
}

StateParse ReadStateFile(const std::string& path, bool& missing) {
  ReadFailure failure;
  // One byte past the bound tells a file that is too large.
  const auto text = ReadWholeFile(path, STATE_FILE_SIZE_LIMIT + 1, FileKinds::RegularOnly, &failure);
  missing = !text && !failure.opened && failure.error == ENOENT;
  const std::string cannotRead = "cannot read " + path + ": ";
  if (!text)
    return {std::nullopt, cannotRead + (failure.error == 0 ? "not a regular file" : std::strerror(failure.error))};
  if (text->size() > STATE_FILE_SIZE_LIMIT)
    return {std::nullopt, cannotRead + "larger than " + std::to_string(STATE_FILE_SIZE_LIMIT) + " bytes"};
  StateParse parse = ParseStateFile(*text);
  if (!parse.state) parse.error = path + ": " + parse.error;
  return parse;
}

std::string WriteFileAtomically(const std::string& path, std::span<const std::uint8_t> bytes) {
  std::string temporary = path + ".XXXXXX";
  std::vector<char> pattern(temporary.begin(), temporary.end());
  pattern.push_back('\0');
  UniqueFd file(::mkstemp(pattern.data()));
  temporary.assign(pattern.data());
  if (file.get() < 0) return Failure("cannot create", temporary);
  if (!WriteAll(file.get(), {reinterpret_cast<const char*>(bytes.data()), bytes.size()})) {
    const std::string failure = Failure("cannot write", temporary);
    ::unlink(temporary.c_str());
    return failure;
  }
  // mkstemp creates the file private; the board's files are ordinary ones.
  // No fsync: readers must never see half a file, but the files need not
  // survive a crash of the machine, and syncing would hold up replies.
  if (::fchmod(file.get(), FILE_MODE) != 0 || !file.Close()) {
    const std::string failure = Failure("cannot finish", temporary);
    ::unlink(temporary.c_str());
    return failure;
  }
  if (::rename(temporary.c_str(), path.c_str()) != 0) {
    const std::string failure = Failure("cannot rename " + temporary + " to", path);
    ::unlink(temporary.c_str());
    return failure;
  }
  return {};
}

}  // namespace vorna::sim
