#include "sim/trace_replay.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <map>

#include "base/file_io.h"
#include "base/hex_text.h"

namespace vorna::sim {

namespace {

using Json = nlohmann::json;
using Micros = std::chrono::microseconds;

constexpr std::size_t TRACE_SIZE_LIMIT = std::size_t{64} * 1024 * 1024;
constexpr double MICROSECONDS_PER_SECOND = 1e6;
constexpr std::string_view TO_BOARD = "to board";
constexpr std::string_view FROM_BOARD = "from board";

// One line of the trace that the replay uses.
struct Record {
  enum class Kind { Start, Opened, Sent, Received, ReadFailed, Other } kind = Kind::Other;
  std::string port;
  Micros time{};
  std::vector<std::uint8_t> bytes;
  std::string device;  // of an open
};

struct BadLine {
  std::string reason;
};

// "aa 01 02": two hex digits a byte, single spaces between.
std::optional<std::vector<std::uint8_t>> HexPairs(std::string_view text) {
  std::vector<std::uint8_t> bytes;
  for (std::size_t at = 0; at < text.size(); at += 3) {
    std::uint8_t value = 0;
    const char* pair = text.data() + at;
    const bool separated = at + 2 == text.size() || (at + 2 < text.size() && text[at + 2] == ' ');
    if (!separated || std::from_chars(pair, pair + 2, value, 16).ptr != pair + 2) return std::nullopt;
    bytes.push_back(value);
  }
  return bytes;
}

std::string Text(const Json& record, const char* key) {
  const auto it = record.find(key);
  if (it == record.end()) return {};
  if (!it->is_string()) throw BadLine{"\"" + std::string(key) + "\" is not a string"};
  return it->get<std::string>();
}

Record ParseRecord(std::string_view line) {
  const Json record = Json::parse(line, nullptr, false);
  if (!record.is_object()) throw BadLine{"not a JSON object"};
  const auto time = record.find("time");
  if (time == record.end() || !time->is_number() || time->get<double>() < 0)
    throw BadLine{"no \"time\" in seconds since the start"};
  Record parsed;
  parsed.time = Micros(std::llround(time->get<double>() * MICROSECONDS_PER_SECOND));
  parsed.port = Text(record, "port");
  const std::string direction = Text(record, "direction");
  const std::string event = Text(record, "event");
  if (!direction.empty()) {
    if (direction != TO_BOARD && direction != FROM_BOARD)
      throw BadLine{"direction \"" + direction + "\" is neither \"to board\" nor \"from board\""};
    const std::string hex = Text(record, "bytes");
    const auto bytes = HexPairs(hex);
    if (!bytes) throw BadLine{"bytes \"" + hex + "\" are not hex pairs separated by spaces"};
    if (parsed.port.empty()) throw BadLine{"bytes without a port"};
    parsed.kind = direction == TO_BOARD ? Record::Kind::Sent : Record::Kind::Received;
    parsed.bytes = *bytes;
  } else if (event.empty()) {
    throw BadLine{"neither an event nor bytes"};
  } else if (event == "start") {
    parsed.kind = Record::Kind::Start;
  } else if (event == "open") {
    parsed.kind = Record::Kind::Opened;
    parsed.device = Text(record, "device");
  } else if (event == "failure" && Text(record, "step") == "read") {
    parsed.kind = Record::Kind::ReadFailed;
  }
  return parsed;
}

std::string Listed(const std::vector<std::string>& ports) {
  std::string list;
  for (const auto& port : ports) list += (list.empty() ? "" : ", ") + port;
  return list;
}

std::vector<ReplayExchange> Exchanges(const std::vector<Record>& records) {
  std::vector<ReplayExchange> exchanges;
  Micros lastSent{};
  for (const Record& record : records) {
    const bool replied = !exchanges.empty() && (!exchanges.back().reply.empty() || exchanges.back().hangUpAfter);
    switch (record.kind) {
      case Record::Kind::Sent:
        if (exchanges.empty() || replied) exchanges.emplace_back();
        exchanges.back().request.insert(exchanges.back().request.end(), record.bytes.begin(), record.bytes.end());
        lastSent = record.time;
        break;
      case Record::Kind::Received:
        if (!exchanges.empty()) exchanges.back().reply.push_back({record.time - lastSent, record.bytes});
        break;
      case Record::Kind::ReadFailed:
        if (!exchanges.empty() && !exchanges.back().hangUpAfter) exchanges.back().hangUpAfter = record.time - lastSent;
        break;
      default:
        break;
    }
  }
  return exchanges;
}

}  // namespace

TraceParse ParseTrace(std::string_view text, std::string_view fileName, std::string_view port) {
  const std::string file(fileName);
  std::vector<Record> records;
  std::vector<std::string> ports;                     // in the order they appear
  std::multimap<std::string, std::string> devicesOf;  // port -> devices it opened
  std::size_t number = 0;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    const std::string_view line = text.substr(start, end - start);
    start = end + 1;
    ++number;
    try {
      records.push_back(ParseRecord(line));
      if (number == 1 && records.back().kind != Record::Kind::Start) throw BadLine{"not a trace: no start record"};
    } catch (const BadLine& bad) {
      return {{}, file + ":" + std::to_string(number) + ": " + bad.reason};
    }
    const Record& record = records.back();
    if (!record.port.empty() && std::find(ports.begin(), ports.end(), record.port) == ports.end())
      ports.push_back(record.port);
    if (record.kind == Record::Kind::Opened) devicesOf.emplace(record.port, record.device);
  }
  if (records.empty()) return {{}, file + ": not a trace: empty"};
  if (ports.empty()) return {{}, file + ": the trace holds no port"};
  std::vector<std::string> chosen;
  for (const std::string& label : ports) {
    const auto [first, last] = devicesOf.equal_range(label);
    const bool named = port.empty()
                           ? ports.size() == 1
                           : label == port || std::any_of(first, last, [&](const auto& d) { return d.second == port; });
    if (named) chosen.push_back(label);
  }
  if (chosen.empty() && port.empty())
    return {{}, file + ": the trace holds several ports (" + Listed(ports) + "): choose one with --replay-port"};
  if (chosen.empty())
    return {{}, file + ": no port " + std::string(port) + " in the trace (it holds " + Listed(ports) + ")"};
  std::erase_if(records,
                [&](const Record& r) { return std::find(chosen.begin(), chosen.end(), r.port) == chosen.end(); });
  return {Exchanges(records), {}};
}

TraceParse ReadTrace(const std::string& path, std::string_view port) {
  ReadFailure failure;
  // One byte past the bound tells a file that is too large.
  const auto text = ReadWholeFile(path, TRACE_SIZE_LIMIT + 1, FileKinds::RegularOnly, &failure);
  const std::string cannotRead = "cannot read " + path + ": ";
  if (!text) return {{}, cannotRead + (failure.error == 0 ? "not a regular file" : std::strerror(failure.error))};
  if (text->size() > TRACE_SIZE_LIMIT)
    return {{}, cannotRead + "larger than " + std::to_string(TRACE_SIZE_LIMIT) + " bytes"};
  return ParseTrace(*text, path, port);
}

const std::vector<std::uint8_t>& TraceReplay::Expected() const {
  static const std::vector<std::uint8_t> none;
  return next_ < exchanges_.size() ? exchanges_[next_].request : none;
}

const ReplayExchange* TraceReplay::Take(std::uint8_t byte) {
  received_.push_back(byte);
  if (next_ >= exchanges_.size() || received_ != exchanges_[next_].request) return nullptr;
  received_.clear();
  return &exchanges_[next_++];
}

bool TraceReplay::Differs() const {
  const auto& expected = Expected();
  return received_.size() > expected.size() || !std::equal(received_.begin(), received_.end(), expected.begin());
}

std::string TraceReplay::DropDiffering() {
  const std::string expected = next_ < exchanges_.size() ? "expected " + HexBytes(Expected()) : "the trace has ended";
  const std::string line = "# replay: " + expected + ", received " + HexBytes(received_);
  received_.clear();
  return line;
}

}  // namespace vorna::sim
