#include "cli/vornactl.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <ostream>
#include <sstream>

#include "app/core/advanced_fields.h"
#include "app/core/commands.h"
#include "app/core/text_scan.h"
#include "download/download_procedure.h"
#include "download/hex_file.h"
#include "link/device_link.h"
#include "link/system_transport.h"
#include "link/tracing_transport.h"
#include "vorna_version.h"

namespace vorna::cli {

namespace {

constexpr const char* USAGE =
    "Usage: vornactl [--port N | --device PATH] [-v] COMMAND [options]\n"
    "Commands: read, quick, advanced, download, image. Run 'vornactl COMMAND --help' for details.\n";
constexpr int PROGRESS_BAR_WIDTH = 40;

// Prints each message on its own line, in the order they arise; with
// --verbose the system's reason follows, indented.
// Once a stop signal came, what fails fails because of it and is not
// reported.
class StderrSink final : public MessageSink {
 public:
  StderrSink(std::ostream& err, bool verbose, const volatile std::sig_atomic_t* stopSignal = nullptr)
      : err_(err), verbose_(verbose), stop_(stopSignal) {}
  void Report(std::string_view text, std::string_view reason) override {
    ++count_;
    if (stop_ != nullptr && *stop_ != 0) return;
    err_ << text << '\n';
    if (verbose_ && !reason.empty()) err_ << "  (" << reason << ")\n";
    err_.flush();
  }
  int count() const { return count_; }

 private:
  std::ostream& err_;
  bool verbose_;
  const volatile std::sig_atomic_t* stop_;
  int count_ = 0;
};

// The board's status texts use "\r\n"; a terminal wants "\n".
std::string TerminalLines(std::string text) {
  std::string::size_type at = 0;
  while ((at = text.find("\r\n", at)) != std::string::npos) text.erase(at, 1);
  return text;
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

struct UsageError {
  std::string reason;
};

// "88.1" -> the frequency exactly as the Quick Setting dialog forms it from
// its MHz and tenths lists, so the channel comes out the same.
double ParseFrequency(const std::string& text) {
  std::size_t i = 0;
  int whole = 0;
  while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])) && whole < 1000)
    whole = whole * 10 + (text[i++] - '0');
  int tenths = 0;
  bool valid = i > 0;
  if (valid && i < text.size()) {
    valid = text[i++] == '.' && i < text.size();
    if (valid) {
      valid = std::isdigit(static_cast<unsigned char>(text[i])) != 0;
      if (valid) tenths = text[i++] - '0';
    }
    for (; valid && i < text.size(); ++i) valid = text[i] == '0';
  }
  const int channelTenths = whole * 10 + tenths;
  constexpr int lowestTenths = static_cast<int>(MIN_FREQUENCY_MHZ * 10);
  constexpr int highestTenths = static_cast<int>(MAX_FREQUENCY_MHZ * 10);
  if (!valid || channelTenths < lowestTenths || channelTenths > highestTenths)
    throw UsageError{"--freq " + text + ": give 87.5 to 108.0 MHz in 0.1 MHz steps"};
  return tenths * 0.1 + whole;
}

// The values a quick option takes: its display table, in lower case.
template <typename T, std::size_t N>
std::vector<std::string> Choices(const T (&table)[N]) {
  std::vector<std::string> choices = DisplayItems(table);
  for (auto& choice : choices) choice = Lower(choice);
  return choices;
}

int IndexOf(const std::vector<std::string>& choices, const std::string& value, const char* option) {
  const auto it = std::find(choices.begin(), choices.end(), Lower(value));
  if (it == choices.end()) {
    std::string list;
    for (const auto& c : choices) list += (list.empty() ? "" : ", ") + c;
    throw UsageError{std::string(option) + value + ": choose one of " + list};
  }
  return static_cast<int>(it - choices.begin());
}

struct FieldSetting {
  std::size_t field;
  std::int32_t value;
};

// "PL=3", "p=0x2a58": the values the Advanced Setting offers for the field.
FieldSetting ParseFieldSetting(const std::string& text) {
  const auto equals = text.find('=');
  const std::string name = text.substr(0, equals);
  std::string upper = name;
  std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return std::toupper(c); });
  const auto found = std::find(FIELD_NAMES.begin(), FIELD_NAMES.end(), upper);
  if (equals == std::string::npos || found == FIELD_NAMES.end())
    throw UsageError{"--set " + text + ": give FIELD=VALUE with FIELD one of PE, PDX, MUTE, EM, EMS, AG, PLT, "
                     "SUBC, PL, ULD, P, CIA, CIB, CEX"};
  const auto field = static_cast<std::size_t>(found - FIELD_NAMES.begin());
  const std::string value = text.substr(equals + 1);
  if (field == FIELD_P) {
    std::string digits = Lower(value);
    if (digits.rfind("0x", 0) == 0) digits.erase(0, 2);
    const bool hex = !digits.empty() && digits.size() <= 8 &&
                     std::all_of(digits.begin(), digits.end(), [](unsigned char c) { return std::isxdigit(c); });
    if (!hex) throw UsageError{"--set " + text + ": P takes 1 to 8 hexadecimal digits, with or without 0x"};
    return {field, *ScanHex(digits)};
  }
  const std::string option = "--set " + std::string(FIELD_NAMES[field]) + "=";
  return {field, IndexOf(ValueItems(field), value, option.c_str())};
}


class ProgressBar {
 public:
  ProgressBar(std::ostream& err, bool enabled) : err_(err), enabled_(enabled) {}
  ~ProgressBar() {
    if (enabled_ && drawn_) err_ << '\n' << std::flush;
  }
  void Show(std::size_t sent, std::size_t total) {
    if (!enabled_ || total == 0) return;
    const int filled = static_cast<int>(sent * PROGRESS_BAR_WIDTH / total);
    err_ << "\r[" << std::string(static_cast<std::size_t>(filled), '#')
         << std::string(static_cast<std::size_t>(PROGRESS_BAR_WIDTH - filled), ' ') << "] " << sent << '/' << total
         << " bytes" << std::flush;
    drawn_ = true;
  }

 private:
  std::ostream& err_;
  bool enabled_;
  bool drawn_ = false;
};

struct Options {
  int port = 1;
  std::string device;
  bool verbose = false;
  bool raw = false;
  std::string freq, power, level, preEmphasis, timeConstant;
  bool store = false;
  std::vector<std::string> sets;
  bool defaults = false;
  std::string file;
  std::string output;
};

struct Board {
  Board(Environment& env, const Options& options)
      : sink(env.err, options.verbose, env.stopSignal),
        serial(env.makeTransport ? env.makeTransport() : MakeSystemTransport()),
        tracer(options.verbose ? std::make_unique<TracingTransport>(*serial, env.err) : nullptr),
        link(tracer ? static_cast<Transport&>(*tracer) : *serial, sink),
        port{options.port, options.device} {}
  StderrSink sink;
  std::unique_ptr<Transport> serial;
  std::unique_ptr<TracingTransport> tracer;
  DeviceLink link;
  PortChoice port;
};

int Finish(const Board& board, bool succeeded) {
  return succeeded && board.sink.count() == 0 ? EXIT_OK : EXIT_FAILED;
}

int RunRead(Environment& env, const Options& options) {
  Board board(env, options);
  RegisterSnapshot snapshot;
  if (!board.link.Open(board.port)) return EXIT_FAILED;
  const bool read = board.link.ReadRegisters(snapshot);
  board.link.ClosePort();
  if (!read) return EXIT_FAILED;
  if (options.raw) {
    env.out << FormatHexBytes(snapshot.bytes.data(), snapshot.bytes.size()) << '\n';
  } else {
    TransmitterFields fields = DecodeFields(snapshot);
    EncodeFields(fields);  // the dump shows PL as its register value
    env.out << TerminalLines(FormatQuickSummary(QuickFromSnapshot(snapshot))) << "\n\n"
            << TerminalLines(FormatRegisterDump(fields)) << '\n';
  }
  return Finish(board, true);
}

int RunQuick(Environment& env, const Options& options) {
  // Every value is checked before the board is touched.
  std::optional<double> frequency;
  if (!options.freq.empty()) frequency = ParseFrequency(options.freq);
  std::optional<int> power, level, preEmphasis, timeConstant;
  if (!options.power.empty()) power = IndexOf(Choices(OUTPUT_POWER_MW), options.power, "--power ");
  if (!options.level.empty()) level = IndexOf(Choices(AUDIO_LEVEL_MVRMS), options.level, "--level ");
  if (!options.preEmphasis.empty()) preEmphasis = IndexOf(Choices(PRE_EMPHASIS_TEXT), options.preEmphasis, "--preemphasis ");
  if (!options.timeConstant.empty()) timeConstant = IndexOf(Choices(TIME_CONSTANT_US), options.timeConstant, "--tc ");

  Board board(env, options);
  SessionState state;
  std::string summary;
  const auto result = RunQuickSetting(
      state, board.link, board.port,
      [&](const QuickSettings& fromBoard) {
        QuickSettings s = fromBoard;
        if (frequency) s.frequency = *frequency;
        if (power) s.powerIndex = *power;
        if (level) s.audioLevelIndex = *level;
        if (preEmphasis) s.preEmphasisIndex = *preEmphasis;
        if (timeConstant) s.timeConstantIndex = *timeConstant;
        s.storeAsDefault = options.store;
        return std::optional<QuickSettings>(s);
      },
      [&](const std::string& text) { summary = text; });
  if (!summary.empty()) env.out << TerminalLines(summary) << '\n';
  return Finish(board, result == CommandResult::Applied);
}

int RunAdvanced(Environment& env, const Options& options) {
  if (options.defaults && !options.sets.empty())
    throw UsageError{"--defaults replaces every field; it cannot be combined with --set"};
  std::vector<FieldSetting> settings;
  for (const auto& text : options.sets) settings.push_back(ParseFieldSetting(text));

  Board board(env, options);
  SessionState state;
  std::string dump;
  const auto result = RunAdvancedSetting(
      state, board.link, board.port,
      [&](const TransmitterFields& fromBoard) {
        TransmitterFields fields = options.defaults ? DefaultFields() : fromBoard;
        for (const auto& s : settings) fields[s.field] = s.value;
        return std::optional<TransmitterFields>(fields);
      },
      [&](const std::string& text) { dump = text; });
  if (!dump.empty()) env.out << TerminalLines(dump) << '\n';
  return Finish(board, result == CommandResult::Applied);
}

int RunDownloadCommand(Environment& env, const Options& options) {
  Board board(env, options);
  std::string status;
  DownloadResult result;
  {
    ProgressBar bar(env.err, env.errIsTerminal && !options.verbose);
    result = RunDownload(options.file, board.link, board.port, board.sink,
                         [&](const std::string& text) { status = text; },
                         [&](std::size_t sent, std::size_t total) { bar.Show(sent, total); });
  }
  if (!status.empty()) env.out << status << '\n';
  return Finish(board, result == DownloadResult::Success);
}

int RunImage(Environment& env, const Options& options) {
  StderrSink sink(env.err, options.verbose);
  HexImage image;
  if (LoadHexFile(options.file, image, sink) != 0) return EXIT_FAILED;
  std::ofstream out(options.output, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(image.bytes.get()), static_cast<std::streamsize>(image.size()));
  out.close();
  if (!out) {
    env.err << "vornactl: cannot write " << options.output << '\n';
    return EXIT_FAILED;
  }
  char top[16];
  std::snprintf(top, sizeof top, "0x%08X", image.topAddress);
  env.out << top << '\n';
  return EXIT_OK;
}

}  // namespace

int Run(const std::vector<std::string>& args, Environment& env) {
  Options o;
  CLI::App app{"Set up the FM transmitter on the evaluation board and download user programs.", "vornactl"};
  app.set_version_flag("--version", std::string("vornactl ") + VORNA_VERSION);
  app.require_subcommand(1);
  auto* port = app.add_option("--port", o.port, "Port number N (default 1); see the manual for the device it maps to");
  auto* device = app.add_option("--device", o.device, "Open the serial device PATH instead of a port number");
  port->excludes(device);
  app.add_flag("-v,--verbose", o.verbose, "Explain each message and trace every request and reply");

  auto* read = app.add_subcommand("read", "Read the registers; print the quick values and the register dump");
  read->add_flag("--raw", o.raw, "Print the 10 snapshot bytes as hex instead");

  auto* quick = app.add_subcommand("quick", "Read the registers, replace the values given and apply them");
  quick->add_option("--freq", o.freq, "Transmission frequency, 87.5 to 108.0 MHz in 0.1 MHz steps");
  quick->add_option("--power", o.power, "Output power in mW: 1 or 2");
  quick->add_option("--level", o.level, "Audio input level in mVrms: 100, 140 or 200");
  quick->add_option("--preemphasis", o.preEmphasis, "Pre-emphasis: on or off");
  quick->add_option("--tc", o.timeConstant, "Pre-emphasis time constant in microseconds: 50 or 75");
  quick->add_flag("--store", o.store, "Have the board keep the settings as its power-on defaults");

  auto* advanced = app.add_subcommand("advanced", "Read the registers, set fields and write the full register set");
  advanced->add_option("--set", o.sets, "FIELD=VALUE (repeatable); PL takes 2 or 3, P hexadecimal");
  advanced->add_flag("--defaults", o.defaults, "Write the default value of every field");

  auto* download = app.add_subcommand("download", "Send the user program window of a hex file to the board");
  download->add_option("FILE", o.file, "Intel HEX or Motorola S-record file")->required();

  auto* image = app.add_subcommand("image", "Write the memory image of a hex file as raw bytes");
  image->add_option("FILE", o.file, "Intel HEX or Motorola S-record file")->required();
  image->add_option("-o,--output", o.output, "Output file")->required();

  try {
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    app.parse(reversed);
    // What the command prints is held back until it has ended, so that a
    // command stopped by a signal prints nothing.
    std::ostringstream result;
    Environment command{result, env.err, env.errIsTerminal, env.makeTransport, env.stopSignal};
    int status = EXIT_OK;
    if (read->parsed()) {
      status = RunRead(command, o);
    } else if (quick->parsed()) {
      status = RunQuick(command, o);
    } else if (advanced->parsed()) {
      status = RunAdvanced(command, o);
    } else if (download->parsed()) {
      status = RunDownloadCommand(command, o);
    } else {
      status = RunImage(command, o);
    }
    if (env.stopSignal != nullptr && *env.stopSignal != 0) return EXIT_SIGNAL_BASE + *env.stopSignal;
    env.out << result.str() << std::flush;
    return status;
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == 0) return app.exit(e, env.out, env.err);
    env.err << "vornactl: " << e.what() << '\n' << USAGE;
    return EXIT_USAGE;
  } catch (const UsageError& e) {
    env.err << "vornactl: " << e.reason << '\n' << USAGE;
    return EXIT_USAGE;
  }
}

}  // namespace vorna::cli
