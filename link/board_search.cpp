#include "link/board_search.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <limits>
#include <system_error>

#include "base/ascii_text.h"
#include "base/file_io.h"

namespace vorna {
namespace {

constexpr std::size_t HEX_DIGITS = 4;
constexpr char ID_SEPARATOR = ':';
constexpr char COMMENT = '#';
constexpr std::string_view LINE_SPACE = " \t\r";
constexpr std::string_view ITEM_SEPARATORS = ", \t\r\n";
constexpr const char* NOT_AN_ID = "' is not VID:PID (four hex digits each)";

std::optional<std::uint16_t> FourHexDigits(std::string_view text) {
  if (text.size() != HEX_DIGITS) return std::nullopt;
  std::uint16_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::optional<BoardId> ParseBoardId(std::string_view item) {
  if (item.size() != 2 * HEX_DIGITS + 1 || item[HEX_DIGITS] != ID_SEPARATOR) return std::nullopt;
  const auto vendor = FourHexDigits(item.substr(0, HEX_DIGITS));
  const auto product = FourHexDigits(item.substr(HEX_DIGITS + 1));
  if (!vendor || !product) return std::nullopt;
  return BoardId{*vendor, *product};
}

std::string_view Trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(LINE_SPACE);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(LINE_SPACE) - first + 1);
}

// `item` into `list`, or a problem said after `place`.
void Take(std::string_view item, const std::string& place, BoardIds& list) {
  if (const auto id = ParseBoardId(item)) {
    list.ids.push_back(*id);
  } else {
    list.problems.push_back(place + ": '" + std::string(item) + NOT_AN_ID);
  }
}

std::optional<BoardId> UsbIdOf(const DiscoveredPort& port) {
  const auto vendor = FourHexDigits(port.vendorId);
  const auto product = FourHexDigits(port.productId);
  if (!vendor || !product) return std::nullopt;
  return BoardId{*vendor, *product};
}

// Windows lists no USB IDs: a port whose device object is no built-in
// port's ("\Device\Serial0") is taken for a USB one, which IDs cannot
// narrow.
bool UsbWithoutIds(const DiscoveredPort& port) {
  constexpr std::string_view BUILT_IN = "\\Device\\Serial";
  const std::string_view object = port.deviceObject;
  if (object.empty()) return false;
  const bool builtIn = object.size() > BUILT_IN.size() &&
                       EqualsIgnoringCase(object.substr(0, BUILT_IN.size()), BUILT_IN) &&
                       std::all_of(object.begin() + static_cast<std::ptrdiff_t>(BUILT_IN.size()), object.end(),
                                   [](unsigned char c) { return std::isdigit(c) != 0; });
  return !builtIn;
}

}  // namespace

BoardIds ParseBoardIdLines(std::string_view text, std::string_view fileName) {
  BoardIds list;
  int lineNumber = 0;
  while (!text.empty()) {
    ++lineNumber;
    const std::size_t end = std::min(text.find('\n'), text.size());
    const std::string_view line = Trimmed(text.substr(0, std::min(text.find(COMMENT), end)));
    text.remove_prefix(std::min(end + 1, text.size()));
    if (!line.empty()) Take(line, std::string(fileName) + ":" + std::to_string(lineNumber), list);
  }
  return list;
}

BoardIds ParseBoardIdItems(std::string_view text, std::string_view variableName) {
  BoardIds list;
  for (std::size_t start = text.find_first_not_of(ITEM_SEPARATORS); start != std::string_view::npos;) {
    const std::size_t end = std::min(text.find_first_of(ITEM_SEPARATORS, start), text.size());
    Take(text.substr(start, end - start), std::string(variableName), list);
    start = text.find_first_not_of(ITEM_SEPARATORS, end);
  }
  return list;
}

BoardIds LoadBoardIds(const std::string& boardsFile, const std::optional<std::string>& variable) {
  if (variable) return ParseBoardIdItems(*variable, BOARD_IDS_VARIABLE);
  if (boardsFile.empty()) return {};
  // Only a regular file: a device or a FIFO there could make the read wait.
  ReadFailure failure;
  const std::optional<std::string> text =
      ReadWholeFile(boardsFile, std::numeric_limits<std::size_t>::max(), FileKinds::RegularOnly, &failure);
  if (text) return ParseBoardIdLines(*text, boardsFile);
  if (!failure.opened && (failure.error == ENOENT || failure.error == ENOTDIR)) return {};
  const std::string reason =
      failure.error != 0 ? std::generic_category().message(failure.error) : std::string("not a regular file");
  return {{}, {boardsFile + ": cannot be read: " + reason}};
}

std::vector<BoardCandidate> BoardCandidates(const PortDiscovery& discovery, const std::vector<BoardId>& ids) {
  std::vector<BoardCandidate> candidates;
  for (const DiscoveredPort& port : discovery.ports) {
    const std::optional<BoardId> usbId = UsbIdOf(port);
    const bool listed = usbId && (ids.empty() || std::find(ids.begin(), ids.end(), *usbId) != ids.end());
    if (port.aliasNumbers.empty() && !listed && !UsbWithoutIds(port)) continue;
    candidates.push_back({port.portNumbers.empty() ? 0 : port.portNumbers.front(), port});
  }
  return candidates;
}

}  // namespace vorna
