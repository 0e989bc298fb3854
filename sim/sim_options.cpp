#include "sim/sim_options.h"

#include <CLI/CLI.hpp>

#include <charconv>
#include <climits>
#include <functional>
#include <vector>

#include "sim/line_pacer.h"
#include "vorna_version.h"

namespace vorna::sim {

namespace {

constexpr std::string_view SILENT_CHUNK = "chunk";
constexpr unsigned MAX_BAUD = 4'000'000;
constexpr unsigned MAX_DRIP_MS = 60'000;
constexpr unsigned MAX_CHUNKS_PER_DOWNLOAD = USER_PROGRAM_MAX_LENGTH / DOWNLOAD_CHUNK_SIZE;

struct OptionEntry {
  std::string_view name;
  std::string_view argument;  // empty for a flag
  std::string help;
  // Stores the value; returns an error text, empty when accepted.
  std::function<std::string(SimOptions&, std::string_view)> apply;
};

std::optional<unsigned long long> ParseNumber(std::string_view text, unsigned long long low, unsigned long long high) {
  unsigned long long value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < low || value > high) {
    return std::nullopt;
  }
  return value;
}

std::string RangeError(std::string_view value, unsigned long long low, unsigned long long high) {
  return "\"" + std::string(value) + "\" is not a whole number from " + std::to_string(low) + " to " +
         std::to_string(high);
}

// An option taking a whole number in [low, high], stored by `store`.
template <typename Store>
auto Number(unsigned long long low, unsigned long long high, Store store) {
  return [low, high, store](SimOptions& options, std::string_view value) -> std::string {
    const auto number = ParseNumber(value, low, high);
    if (!number) return RangeError(value, low, high);
    store(options, *number);
    return {};
  };
}

// An option whose value is kept as given, in `field`.
auto Text(std::string SimOptions::*field) {
  return [field](SimOptions& o, std::string_view value) {
    o.*field = value;
    return std::string();
  };
}

const std::vector<OptionEntry>& OptionTable() {
  static const std::vector<OptionEntry> entries = {
      {"--state", "FILE",
       "keep the stored defaults in FILE: loaded at start when it exists, rewritten by the store command",
       Text(&SimOptions::statePath)},
      {"--program-out", "FILE", "write each completely received program to FILE", Text(&SimOptions::programPath)},
      {"--log", "FILE", "log every request, reply and event to FILE, one line each (- for standard error)",
       Text(&SimOptions::logPath)},
      {"--com", "N", "publish the device as COMN in the port-alias folder",
       Number(1, INT_MAX, [](SimOptions& o, unsigned long long n) { o.comPort = static_cast<int>(n); })},
      {"--baud", "B",
       "take in and send every byte as a line at B baud would (" + std::to_string(LINE_BITS_PER_BYTE) + " bits a byte)",
       Number(1, MAX_BAUD, [](SimOptions& o, unsigned long long n) { o.baud = static_cast<unsigned>(n); })},
      {"--corrupt-echo", "N", "change one byte in the echo of the N-th register write since start",
       Number(1, UINT_MAX,
              [](SimOptions& o, unsigned long long n) { o.faults.corruptEcho = static_cast<unsigned>(n); })},
      {"--short-registers", "K", "answer register reads with only their first K bytes",
       Number(0, REGISTER_SNAPSHOT_SIZE - 1,
              [](SimOptions& o, unsigned long long n) { o.faults.shortRegisters = static_cast<std::size_t>(n); })},
      {"--silent", "CMD",
       "carry out command code CMD (0 to " + std::to_string(COMMAND_CODE_COUNT - 1) + ") without answering it; \"" +
           std::string(SILENT_CHUNK) + "\": acknowledge no program chunk; repeatable",
       [](SimOptions& o, std::string_view v) {
         if (v == SILENT_CHUNK) {
           o.faults.silentChunk = true;
           return std::string();
         }
         const auto code = ParseNumber(v, 0, COMMAND_CODE_COUNT - 1);
         if (!code) {
           return "\"" + std::string(v) + "\" is neither a command code from 0 to " +
                  std::to_string(COMMAND_CODE_COUNT - 1) + " nor \"" + std::string(SILENT_CHUNK) + "\"";
         }
         o.faults.silent[*code] = true;
         return std::string();
       }},
      {"--refuse-start", "", "refuse every download start (reply 01 00)",
       [](SimOptions& o, std::string_view) {
         o.faults.refuseStart = true;
         return std::string();
       }},
      {"--refuse-chunk", "N", "refuse the N-th chunk of each download (reply 01 00) and abandon that download",
       Number(1, MAX_CHUNKS_PER_DOWNLOAD,
              [](SimOptions& o, unsigned long long n) { o.faults.refuseChunk = static_cast<unsigned>(n); })},
      {"--bad-final-ack", "", "answer the end of a download with 00 00 instead of FF 00",
       [](SimOptions& o, std::string_view) {
         o.faults.badFinalAck = true;
         return std::string();
       }},
      {"--hangup-after-chunks", "N",
       "after answering the N-th program chunk since start, close the device and exit, like an unplugged board",
       Number(1, UINT_MAX,
              [](SimOptions& o, unsigned long long n) { o.faults.hangupAfterChunks = static_cast<unsigned>(n); })},
      {"--babble", "",
       "send a few unsolicited bytes every " + std::to_string(BABBLE_INTERVAL_MS) +
           " ms while nothing else is being sent",
       [](SimOptions& o, std::string_view) {
         o.babble = true;
         return std::string();
       }},
      {"--drip", "MS", "send reply bytes one at a time, MS milliseconds apart",
       Number(1, MAX_DRIP_MS, [](SimOptions& o, unsigned long long n) { o.dripMs = static_cast<unsigned>(n); })},
      {"--mute", "", "carry out every command but never send a byte",
       [](SimOptions& o, std::string_view) {
         o.faults.mute = true;
         return std::string();
       }},
      {"--replay", "FILE",
       "answer as the board recorded in FILE (vornactl --trace) did, instead of as this board does; a request "
       "that differs from the trace is logged and not answered",
       Text(&SimOptions::replayPath)},
      {"--replay-port", "PORT", "replay the port PORT (COMN or a device it opened) of a trace that holds several",
       Text(&SimOptions::replayPort)},
      {"--replay-timing", "", "send each replayed reply as long after its request as the trace shows",
       [](SimOptions& o, std::string_view) {
         o.replayTiming = true;
         return std::string();
       }},
  };
  return entries;
}

// A value an option refuses, in the words usage errors print.
struct OptionError {
  std::string text;
};

// CLI11 reads "--name=" as "--name" and would take the next word as the
// value: an option that takes one is given the empty value as a word.
std::vector<std::string> WordsForParser(std::span<const std::string_view> args, const CLI::App& app) {
  std::vector<std::string> words;
  for (const std::string_view arg : args) {
    const CLI::Option* option =
        arg.ends_with('=') ? app.get_option_no_throw(std::string(arg.substr(0, arg.size() - 1))) : nullptr;
    if (option != nullptr && option->get_items_expected_max() > 0) {
      words.emplace_back(arg.substr(0, arg.size() - 1));
      words.emplace_back();
    } else {
      words.emplace_back(arg);
    }
  }
  // The parser takes the words last first.
  return {words.rbegin(), words.rend()};
}

}  // namespace

OptionsParse ParseSimOptions(std::span<const std::string_view> args) {
  OptionsParse result;
  CLI::App app;
  app.set_help_flag();
  // Unknown words are collected, and the first named below.
  app.allow_extras();
  app.add_flag("-h,--help", result.help);
  app.add_flag("--version", result.version);
  for (const OptionEntry& entry : OptionTable()) {
    const std::string name(entry.name);
    const bool flag = entry.argument.empty();
    CLI::Option* option = flag ? app.add_flag(name) : app.add_option(name)->type_name(std::string(entry.argument));
    // Every value given is applied in turn; a flag's is "true" unless the
    // command line gave it one.
    option->multi_option_policy(CLI::MultiOptionPolicy::TakeAll)
        ->each([&result, &entry, name, flag](const std::string& value) {
          if (flag && value != "true") throw OptionError{name + " takes no value"};
          if (const std::string error = entry.apply(result.options, value); !error.empty())
            throw OptionError{name + ": " + error};
        });
  }
  try {
    std::vector<std::string> words = WordsForParser(args, app);
    app.parse(words);
    if (const auto unknown = app.remaining(); !unknown.empty())
      result.error = "unknown option " + unknown.front().substr(0, unknown.front().find('='));
    else if (result.options.replayPath.empty() && (result.options.replayTiming || !result.options.replayPort.empty()))
      result.error = "--replay-port and --replay-timing need --replay FILE";
  } catch (const OptionError& e) {
    result.error = e.text;
  } catch (const CLI::ArgumentMismatch&) {
    // An option takes the word after it, whatever it is: only the last word
    // can lack its value.
    const std::string name(args.back());
    result.error = name + " needs a value (" + app.get_option(name)->get_type_name() + ")";
  } catch (const CLI::ParseError& e) {
    result.error = e.what();
  }
  return result;
}

std::string UsageText(std::string_view program) {
  std::string text = "Usage: " + std::string(program) +
                     " [OPTION]...\n"
                     "A virtual evaluation board on a pseudo-terminal. Prints the device path as its first\n"
                     "line, then answers the board's command packets until SIGINT or SIGTERM.\n\n"
                     "Options:\n";
  for (const auto& entry : OptionTable()) {
    std::string head = "  " + std::string(entry.name);
    if (!entry.argument.empty()) head += " " + std::string(entry.argument);
    text += head + "\n      " + std::string(entry.help) + "\n";
  }
  text += "  -h, --help\n      show this text and exit\n";
  text += "  --version\n      show the version and exit\n";
  return text;
}

std::string VersionText(std::string_view program) { return std::string(program) + " " + VORNA_VERSION + "\n"; }

}  // namespace vorna::sim
