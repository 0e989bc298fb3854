#include "cli/vornactl.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <exception>
#include <fstream>
#include <optional>
#include <ostream>
#include <sstream>
#include <string_view>
#include <vector>

#include "base/hex_text.h"
#include "base/quoted_text.h"
#include "cli/board.h"
#include "cli/board_discovery.h"
#include "cli/board_fleet.h"
#include "cli/image_output.h"
#include "cli/port_listing.h"
#include "cli/port_option.h"
#include "cli/profile_commands.h"
#include "cli/progress.h"
#include "cli/standard_output.h"
#include "commands/advanced_dialog_state.h"
#include "commands/commands.h"
#include "commands/profile_commands.h"
#include "commands/quick_dialog_state.h"
#include "commands/text_scan.h"
#include "download/download_procedure.h"
#include "download/hex_file.h"
#include "link/device_link.h"
#include "link/tracing_transport.h"
#include "model/number_text.h"
#include "vorna_version.h"

namespace vorna::cli {

namespace {

constexpr const char* USAGE =
    "Usage: vornactl [--port N|N,M,...|auto|all | --device PATH] [-v | -q] [--json] [--trace FILE] COMMAND "
    "[options]\n"
    "Commands: read, quick, advanced, download, image, save, load, diff, ports. Run 'vornactl COMMAND --help' for "
    "details.\n";

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

struct UsageError {
  std::string reason;
};

// A value as a usage error quotes it: an empty one must still be seen.
std::string Quoted(const std::string& value) { return value.empty() ? "''" : value; }

// "88.1" -> 881, the frequency in tenths of a MHz; the dialog's lists then
// form the frequency from it. Read by hand: the locale never changes it.
int ParseFrequency(const std::string& text) {
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
  constexpr int LOWEST_TENTHS = static_cast<int>(MIN_FREQUENCY_MHZ * 10);
  constexpr int HIGHEST_TENTHS = static_cast<int>(MAX_FREQUENCY_MHZ * 10);
  if (!valid || channelTenths < LOWEST_TENTHS || channelTenths > HIGHEST_TENTHS)
    throw UsageError{"--freq " + Quoted(text) + ": give 87.5 to 108.0 MHz in 0.1 MHz steps"};
  return channelTenths;
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
    throw UsageError{std::string(option) + Quoted(value) + ": choose one of " + list};
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
    throw UsageError{"--set " + Quoted(text) +
                     ": give FIELD=VALUE with FIELD one of PE, PDX, MUTE, EM, EMS, AG, PLT, "
                     "SUBC, PL, ULD, P, CIA, CIB, CEX"};
  const auto field = static_cast<std::size_t>(found - FIELD_NAMES.begin());
  const std::string value = text.substr(equals + 1);
  if (field == FIELD_P) {
    std::string digits = Lower(value);
    if (digits.rfind("0x", 0) == 0) digits.erase(0, 2);
    const bool hex = !digits.empty() && digits.size() <= 8 &&
                     std::all_of(digits.begin(), digits.end(), [](unsigned char c) { return std::isxdigit(c); });
    if (!hex) throw UsageError{"--set " + text + ": P takes 1 to 8 hexadecimal digits, with or without 0x"};
    const std::int32_t p = *ScanHex(digits);
    // The register holds 14 bits; a wider value would be cut without a word.
    if (p < 0 || p > P_MAX) throw UsageError{"--set " + text + ": P takes 0 to " + HexText(P_MAX) + " (14 bits)"};
    return {field, p};
  }
  const std::string option = "--set " + std::string(FIELD_NAMES[field]) + "=";
  return {field, IndexOf(ValueItems(field), value, option.c_str())};
}

struct Options {
  std::string port;  // as given: see port_option.h
  std::string device;
  bool verbose = false;
  bool quiet = false;  // -q: errors only, and what a command exists to print
  bool json = false;
  std::optional<std::string> trace;
  bool raw = false;
  // Given or not; given empty is a usage error.
  std::optional<std::string> freq, power, level, preEmphasis, timeConstant;
  bool store = false;
  std::vector<std::string> sets;
  bool defaults = false;
  std::string file;
  std::string output;
  bool force = false;   // download: send a file whose content check found problems
  bool strict = false;  // image: refuse such a file
};

int RunRead(Environment& env, const Options& options, const PortChoice& port) {
  Board board(env, port, options.verbose);
  const std::optional<RegisterSnapshot> snapshot = ReadBoardSnapshot(board.link, board.port);
  if (!snapshot) return EXIT_FAILED;
  if (options.raw) {
    env.out << HexBytes(snapshot->bytes) << '\n';
  } else {
    env.out << TerminalLines(FormatQuickSummary(QuickFromSnapshot(*snapshot))) << "\n\n"
            << TerminalLines(FormatRegisterDump(DecodeFields(*snapshot))) << '\n';
  }
  return BoardCommandExit(true, board.sink.count());
}

template <typename T, std::size_t N>
std::optional<int> ChoiceIndex(const T (&table)[N], const std::optional<std::string>& value, const char* option) {
  if (!value) return std::nullopt;
  return IndexOf(Choices(table), *value, option);
}

// Every value is checked here, before any board is touched.
BoardTask QuickTask(const Options& options) {
  std::optional<int> tenths;
  if (options.freq) tenths = ParseFrequency(*options.freq);
  const auto power = ChoiceIndex(OUTPUT_POWER_MW, options.power, "--power ");
  const auto level = ChoiceIndex(AUDIO_LEVEL_MVRMS, options.level, "--level ");
  const auto preEmphasis = ChoiceIndex(PRE_EMPHASIS_TEXT, options.preEmphasis, "--preemphasis ");
  const auto timeConstant = ChoiceIndex(TIME_CONSTANT_US, options.timeConstant, "--tc ");
  return [=](Environment& env, const PortChoice& port, const ProgressReport&) {
    Board board(env, port, options.verbose);
    SessionState state;
    const QuickSettingResult result =
        RunQuickSetting(state, board.link, board.port, [&](const QuickSettings& fromBoard) {
          // The dialog's lists as they open on this board, then what the user
          // gave picked in them, as a user of the dialog would.
          QuickDialogState dialog = OpenQuickState(fromBoard);
          if (tenths) ChooseFrequency(dialog.frequency, *tenths);
          if (power) dialog.powerSelection = *power;
          if (level) dialog.audioLevelSelection = *level;
          if (preEmphasis) dialog.preEmphasisSelection = *preEmphasis;
          if (timeConstant) dialog.timeConstantSelection = *timeConstant;
          dialog.storeAsDefault = options.store;
          return std::optional<QuickSettings>(AcceptQuick(dialog));
        });
    PrintStatus(env, StatusText(result), result.outcome);
    return BoardCommandExit(result.outcome == CommandOutcome::Applied, board.sink.count());
  };
}

BoardTask AdvancedTask(const Options& options) {
  if (options.defaults && !options.sets.empty())
    throw UsageError{"--defaults replaces every field; it cannot be combined with --set"};
  std::vector<FieldSetting> settings;
  for (const auto& text : options.sets) settings.push_back(ParseFieldSetting(text));
  return [=](Environment& env, const PortChoice& port, const ProgressReport&) {
    Board board(env, port, options.verbose);
    SessionState state;
    const AdvancedSettingResult result =
        RunAdvancedSetting(state, board.link, board.port, [&](const TransmitterFields& fromBoard) {
          TransmitterFields fields = options.defaults ? DefaultFields() : fromBoard;
          for (const auto& s : settings) fields[s.field] = s.value;
          return std::optional<TransmitterFields>(fields);
        });
    PrintStatus(env, StatusText(result), result.outcome);
    return BoardCommandExit(result.outcome == CommandOutcome::Applied, board.sink.count());
  };
}

constexpr const char* STANDARD_OUTPUT = "-";

void PrintWarning(std::ostream& err, const std::string& warning) {
  err << "warning: " << EscapeControls(warning) << '\n';
}

int RunDownloadCommand(Environment& env, const Options& options, const PortChoice& port,
                       const ProgressReport& progress) {
  Board board(env, port, options.verbose);
  DownloadResult result;
  {
    ProgressBar bar(env.err, env.errIsTerminal && !options.verbose && !options.quiet && !progress);
    result = RunDownload(
        options.file, board.link, board.port, board.sink,
        [&](std::size_t sent, std::size_t total) { progress ? progress(sent, total) : bar.Show(sent, total); },
        [&](const std::string& warning) {
          if (options.verbose && !options.quiet) PrintWarning(env.err, warning);
        },
        // A stop signal ends the download where it is; how far it came is
        // then the one line printed.
        [&env] { return StopRequested(env); },
        [&](const std::vector<std::string>& problems) {
          if (options.force) {
            if (!options.quiet)
              for (const std::string& line : problems) PrintWarning(env.err, line);
            return true;
          }
          PrintError(env.err, "the hex file has problems (--force downloads it anyway):");
          for (const std::string& line : problems) env.err << EscapeControls(line) << '\n';
          return false;
        });
  }
  // "Download failure", "Download cancelled" and "Hex file is invalid" are
  // failures' messages.
  const bool succeeded = result.outcome == DownloadOutcome::Success;
  if (const std::string status = DownloadStatusText(result); !status.empty())
    (succeeded ? env.out : env.err) << status << '\n';
  // As after every message under --verbose: the reason, in parentheses; an
  // invalid file's always, as nothing else says why.
  if ((options.verbose || result.outcome == DownloadOutcome::HexInvalid) && !result.failureReason.empty())
    env.err << "  (" << EscapeControls(result.failureReason) << ")\n";
  return BoardCommandExit(succeeded, board.sink.count());
}

int RunImage(Environment& env, const Options& options) {
  const bool toStandardOutput = options.output == STANDARD_OUTPUT;
  ImageOutput output;
  if (!toStandardOutput) {
    output = CheckImageOutput(options.file, options.output);
    if (!output.reason.empty()) {
      PrintError(env.err, "cannot write " + options.output + ": " + output.reason);
      return EXIT_FAILED;
    }
  }
  StderrSink sink(env.err, options.verbose);
  HexImage image;
  if (LoadHexFile(options.file, image, sink) != 0) return EXIT_FAILED;
  if (const std::string warning = HexLineEndWarning(image.lines); !warning.empty() && !options.quiet)
    PrintWarning(env.err, warning);
  // Under --strict the problems are why nothing is written: said even when quiet.
  const bool refused = options.strict && image.content.count > 0;
  if (!options.quiet || refused)
    for (const std::string& line : HexProblemLines(image.content)) PrintWarning(env.err, line);
  if (refused) {
    PrintError(env.err, "the hex file has problems; nothing written (--strict)");
    return EXIT_FAILED;
  }
  char top[16];
  std::snprintf(top, sizeof top, "0x%08X", image.topAddress);
  if (toStandardOutput) {
    // Standard output carries the image alone; the top address goes to
    // stderr once the image is out (Run tells why it is not).
    env.out.write(reinterpret_cast<const char*>(image.bytes.get()), static_cast<std::streamsize>(image.size()));
    if (!env.out.flush()) return EXIT_FAILED;
    env.err << top << '\n';
    return EXIT_OK;
  }
  if (const std::string reason = WriteImageFile(output.path, image.bytes.get(), image.size()); !reason.empty()) {
    PrintError(env.err, "cannot write " + options.output + ": " + reason);
    return EXIT_FAILED;
  }
  env.out << top << '\n';
  return EXIT_OK;
}

// The boards a command runs on, in the order given; none after a failure
// to find them, which has been printed.
struct BoardChoice {
  std::vector<PortChoice> boards;
  bool many = false;  // several boards' output: prefixed, with a summary
  int failure = EXIT_FAILED;
};

// --device, else --port, else VORNA_PORT (when not empty), else auto.
BoardChoice ChooseBoards(const Options& o, bool portGiven, Environment& env) {
  if (!o.device.empty()) return {{PortChoice{1, o.device}}};
  std::string source = "--port";
  std::string text = o.port;
  if (!portGiven) {
    source = "VORNA_PORT";
    text = env.variable ? env.variable("VORNA_PORT").value_or("") : "";
    if (text.empty()) text = "auto";
  }
  const PortOptionParse parse = ParsePortOption(text);
  if (!parse.error.empty()) throw UsageError{source + " " + parse.error};
  BoardChoice choice;
  choice.many = parse.option.ManyBoards();
  if (parse.option.kind == PortOptionKind::Numbers) {
    for (const int number : parse.option.numbers) choice.boards.push_back({number, ""});
    return choice;
  }
  const BoardSearch search = SearchBoards(env);
  if (!search.problems.empty()) {
    for (const std::string& problem : search.problems) PrintError(env.err, problem);
    choice.failure = EXIT_USAGE;
    return choice;
  }
  if (!search.error.empty()) {
    PrintError(env.err, search.error);
    return choice;
  }
  if (search.boards.empty()) {
    PrintError(env.err, NoBoardText(search));
    for (const std::string& line : search.seen) env.err << line << '\n';
    return choice;
  }
  if (parse.option.kind == PortOptionKind::Auto && search.boards.size() > 1) {
    PrintError(env.err, SeveralBoardsText(search.boards));
    choice.failure = EXIT_USAGE;
    return choice;
  }
  // Opened by number where one reaches it: the number reaches the same
  // device, and a message names the port as for a number given.
  for (const BoardCandidate& board : search.boards) {
    if (board.portNumber > 0)
      choice.boards.push_back({board.portNumber, ""});
    else
      choice.boards.push_back({1, board.port.device});
  }
  return choice;
}

// An option whose absence and an empty value must be told apart.
void AddValueOption(CLI::App& command, const std::string& name, std::optional<std::string>& value,
                    const std::string& description) {
  command.add_option_function<std::string>(
      name, [&value](const std::string& given) { value = given; }, description);
}

std::size_t EditDistance(std::string_view a, std::string_view b) {
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

// No command, or words before it that are none: name the first word that is
// no option and the command nearest to it.
void CheckCommandGiven(const CLI::App& app) {
  const std::vector<std::string> stray = app.remaining();
  // After a command, what is left was given to it: the command refuses it.
  if (!app.get_subcommands().empty() && !stray.empty()) throw CLI::ExtrasError(stray);
  const auto word = std::find_if(stray.begin(), stray.end(), [](const std::string& s) { return s.rfind('-', 0) != 0; });
  if (word != stray.end()) {
    std::string nearest;
    std::size_t best = std::string::npos;
    for (const CLI::App* command : app.get_subcommands([](const CLI::App*) { return true; })) {
      const std::size_t distance = EditDistance(Lower(*word), command->get_name());
      if (distance < best) {
        best = distance;
        nearest = command->get_name();
      }
    }
    throw UsageError{"'" + *word + "' is not a command; did you mean '" + nearest + "'?"};
  }
  if (!stray.empty()) throw CLI::ExtrasError(stray);
  if (app.get_subcommands().empty()) throw CLI::RequiredError("A subcommand");
}

}  // namespace

struct CommandLine::Parser {
  Parser();
  // The values of a command line not yet read: what a fresh parser holds.
  void Reset();

  Options o;
  ProfileCommands profiles;
  bool portsJson = false;
  CLI::App app{"Set up the FM transmitter on the evaluation board and download user programs.", "vornactl"};
  CLI::Option* port = nullptr;
  CLI::Option* device = nullptr;
  CLI::App* read = nullptr;
  CLI::App* quick = nullptr;
  CLI::App* advanced = nullptr;
  CLI::App* image = nullptr;
  CLI::App* ports = nullptr;
  CLI::App* download = nullptr;

  BoardTask Task();
  // Commands whose standard output only says that they succeeded.
  bool StatusOnly() const {
    return quick->parsed() || advanced->parsed() || download->parsed() || (profiles.load->parsed() && !profiles.json);
  }
};

CommandLine::Parser::Parser() {
  app.set_version_flag("--version", std::string("vornactl ") + VORNA_VERSION);
  // At most one command; a missing or unknown one is told after parsing.
  app.require_subcommand(0, 1);
  // Global options may also follow the command, as scripts write them.
  app.fallthrough();
  port = app.add_option("--port", o.port,
                        "Port number N, a list N,M,... to run on several boards at once, auto for the one board "
                        "found (the default; VORNA_PORT sets another) or all for every board found");
  device = app.add_option("--device", o.device, "Open the serial device PATH instead of a port number");
  port->excludes(device);
  CLI::Option* verbose =
      app.add_flag("-v,--verbose", o.verbose, "Explain each message and trace every request and reply");
  app.add_flag("-q,--quiet", o.quiet,
               "Print only errors and what the command is for (values, differences); no progress, warnings or "
               "success messages")
      ->excludes(verbose);
  app.add_flag("--json", o.json,
               "Print JSON: read, save, load, diff and ports as their own --json, other board commands one "
               "object per board");
  AddValueOption(app, "--trace", o.trace, "Record the board sessions to FILE, for a report");

  read = app.add_subcommand("read", "Read the registers; print the quick values and the register dump");
  read->add_flag("--raw", o.raw, "Print the 10 snapshot bytes as hex instead");

  quick = app.add_subcommand("quick", "Read the registers, replace the values given and apply them");
  AddValueOption(*quick, "--freq", o.freq, "Transmission frequency, 87.5 to 108.0 MHz in 0.1 MHz steps");
  AddValueOption(*quick, "--power", o.power, "Output power in mW: 1 or 2");
  AddValueOption(*quick, "--level", o.level, "Audio input level in mVrms: 100, 140 or 200");
  AddValueOption(*quick, "--preemphasis", o.preEmphasis, "Pre-emphasis: on or off");
  AddValueOption(*quick, "--tc", o.timeConstant, "Pre-emphasis time constant in microseconds: 50 or 75");
  quick->add_flag("--store", o.store, "Have the board keep the settings as its power-on defaults");

  advanced = app.add_subcommand("advanced", "Read the registers, set fields and write the full register set");
  advanced->add_option("--set", o.sets, "FIELD=VALUE (repeatable); PL takes 2 or 3, P hexadecimal");
  advanced->add_flag("--defaults", o.defaults, "Write the default value of every field");

  download = app.add_subcommand("download", "Send the user program window of a hex file to the board");
  download->add_option("FILE", o.file, "Intel HEX or Motorola S-record file")->required();
  download->add_flag("--force", o.force, "Download even a file whose content check found problems");

  image = app.add_subcommand("image", "Write the memory image of a hex file as raw bytes");
  image->add_option("FILE", o.file, "Intel HEX or Motorola S-record file")->required();
  image->add_option("-o,--output", o.output, "Output file, replaced only once whole; - for standard output")
      ->required();
  image->add_flag("--strict", o.strict, "Write nothing when the content check finds problems");

  AddProfileCommands(app, *read, profiles);

  ports = app.add_subcommand("ports",
                             "List the serial devices, the port number that reaches each, and which "
                             "are in use");
  ports->add_flag("--json", portsJson, "Print a JSON array instead");

  // Set after the commands, which therefore keep refusing stray words: a
  // word before any command is collected, to be named below.
  app.allow_extras();
}

// The board command the line chose, its values checked: a usage error is
// found before any port is opened.
BoardTask CommandLine::Parser::Task() {
  if (profiles.Chosen()) {
    return [this](Environment& env, const PortChoice& choice, const ProgressReport&) {
      return RunProfileCommand(profiles, env, [&] { return std::make_unique<Board>(env, choice, o.verbose); });
    };
  }
  if (quick->parsed()) return QuickTask(o);
  if (advanced->parsed()) return AdvancedTask(o);
  const Options options = o;
  if (read->parsed())
    return [options](Environment& env, const PortChoice& choice, const ProgressReport&) {
      return RunRead(env, options, choice);
    };
  return [options](Environment& env, const PortChoice& choice, const ProgressReport& progress) {
    return RunDownloadCommand(env, options, choice, progress);
  };
}

void CommandLine::Parser::Reset() {
  o = Options{};
  profiles.ClearValues();
  portsJson = false;
  // The parser forgets what it read (also done by parse itself, but the
  // values bound above are ours to reset, and both must go together).
  app.clear();
}

CommandLine::CommandLine() : parser_(std::make_unique<Parser>()) {}
CommandLine::~CommandLine() = default;

int CommandLine::Run(const std::vector<std::string>& args, Environment& env) {
  const int status = RunParsed(args, env);
  if (StopRequested(env)) return status;
  env.out.flush();
  const bool outWritten = static_cast<bool>(env.out);
  if (!outWritten) {
    const std::string reason = OutputFailureReason(env.out);
    PrintError(env.err, "cannot write to standard output" + (reason.empty() ? "" : ": " + reason));
  }
  env.err.flush();
  if (outWritten && env.err) return status;
  // diff's 1 is a result, not a failure: trouble is 2 there.
  return std::max(status, parser_->profiles.diff->parsed() ? DIFF_TROUBLE : EXIT_FAILED);
}

int CommandLine::RunParsed(const std::vector<std::string>& args, Environment& env) {
  // CLI11 forgets what it read but keeps a list of every option it ever
  // parsed; a parser built afresh now and then keeps that bounded.
  if (++lines_ % LINES_PER_PARSER == 0) parser_ = std::make_unique<Parser>();
  Parser& p = *parser_;
  p.Reset();
  const Options& o = p.o;
  CLI::App& app = p.app;
  try {
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    app.parse(reversed);
    CheckCommandGiven(app);
    if (p.device->count() > 0 && o.device.empty()) throw UsageError{"--device needs the path of a serial device"};
    for (const CLI::App* command : {p.profiles.save, p.profiles.load, p.profiles.diff}) {
      if (command->parsed() && p.profiles.file.empty())
        throw UsageError{command->get_name() + " needs the name of a profile file, not ''"};
    }
    const bool json = o.json || p.profiles.json || p.portsJson;
    if (json && o.raw) throw UsageError{"--json excludes --raw"};
    // A hex file's image may be large and needs no board: it goes out as it
    // is made.
    if (p.image->parsed()) {
      if (json) throw UsageError{"image writes the image's bytes, not JSON"};
      return RunImage(env, o);
    }
    // Listing the ports opens no board.
    if (p.ports->parsed()) return RunPorts(env, json, o.verbose);
    p.profiles.json = json;
    const BoardTask task = p.Task();
    if (const auto status = CheckProfileFile(p.profiles, env))
      return StopRequested(env) ? EXIT_SIGNAL_BASE + *env.stopSignal : *status;
    const BoardChoice chosen = ChooseBoards(o, p.port->count() > 0, env);
    if (chosen.boards.empty()) return chosen.failure;
    const std::vector<PortChoice>& boards = chosen.boards;
    if (chosen.many && p.profiles.save->parsed()) throw UsageError{"save reads one board: give one port"};
    Environment session = env;
    if (o.trace && !StartTrace(session, *o.trace)) return EXIT_FAILED;
    // read, save, load and diff print JSON of their own; the other board
    // commands a record of how the board did.
    const bool recordJson = json && !p.profiles.Chosen();
    if (chosen.many) {
      return RunOnBoards(
          boards, task, session,
          {json, !(o.quiet && p.StatusOnly()), p.profiles.diff->parsed(), env.errIsTerminal && !o.verbose && !o.quiet});
    }
    // What a board command prints is held back until it has ended, so that
    // a command stopped by a signal prints nothing.
    std::ostringstream result, messages;
    Environment command{result,
                        recordJson ? messages : env.err,
                        env.errIsTerminal,
                        env.makeTransport,
                        env.stopSignal,
                        env.portRoots,
                        env.variable,
                        session.trace};
    const int status = task(command, boards.front(), {});
    if (StopRequested(env)) return EXIT_SIGNAL_BASE + *env.stopSignal;
    // One rule for every command, text or JSON: stdout holds what a command
    // printed only when it succeeded (for diff, also when it found a
    // difference), so that a script never takes a failure's output for a
    // result. What a failure has to say went to stderr.
    const bool kept = status == EXIT_OK || (p.profiles.diff->parsed() && status == DIFF_DIFFERENT);
    if (recordJson) {
      env.err << messages.str();
      PrintJson(env.out, BoardRecord(BoardLabel(boards.front()), status, kept ? result.str() : "", messages.str()));
    } else if (kept && !(o.quiet && p.StatusOnly())) {
      env.out << result.str() << std::flush;
    }
    return status;
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == 0) return app.exit(e, env.out, env.err);
    PrintError(env.err, e.what());
    env.err << USAGE;
    return EXIT_USAGE;
  } catch (const UsageError& e) {
    PrintError(env.err, e.reason);
    env.err << USAGE;
    return EXIT_USAGE;
  } catch (const std::exception& e) {
    // Nothing a command did not expect ends the program unexplained.
    if (StopRequested(env)) return EXIT_SIGNAL_BASE + *env.stopSignal;
    PrintError(env.err, e.what());
    return EXIT_FAILED;
  }
}

int Run(const std::vector<std::string>& args, Environment& env) { return CommandLine().Run(args, env); }

void PrintError(std::ostream& err, std::string_view text) { err << "vornactl: " << EscapeControls(text) << '\n'; }

}  // namespace vorna::cli
