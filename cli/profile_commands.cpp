#include "cli/profile_commands.h"

#include <CLI/CLI.hpp>

#include <ostream>

#include "cli/board_json.h"
#include "commands/profile.h"
#include "commands/profile_commands.h"

namespace vorna::cli {
namespace {

// The file's profile, or nullopt after printing every problem in it. A read
// that a stop signal interrupted (a FIFO without a writer) failed because
// of it, and nothing is printed.
std::optional<BoardProfile> ReadChecked(const std::string& path, Environment& env) {
  const ProfileParse parse = ReadProfileFile(path);
  if (StopRequested(env)) return std::nullopt;
  for (const ProfileProblem& problem : parse.problems) env.err << FormatProfileProblem(path, problem) << '\n';
  return parse.profile;
}

int RunReadJson(Environment& env, Board& board) {
  const std::optional<RegisterSnapshot> snapshot = ReadBoardSnapshot(board.link, board.port);
  if (!snapshot) return EXIT_FAILED;
  PrintJson(env.out, SnapshotJson(*snapshot));
  return BoardCommandExit(true, board.sink.count());
}

int RunSave(const ProfileCommands& c, Environment& env, Board& board) {
  const std::optional<RegisterSnapshot> saved = SaveBoardProfile(board.link, board.port, c.file, board.sink);
  if (saved && c.json) {
    Json json = SnapshotJson(*saved);
    json["file"] = c.file;
    PrintJson(env.out, json);
  }
  return BoardCommandExit(saved.has_value(), board.sink.count());
}

int RunLoad(const ProfileCommands& c, Environment& env, const BoardProfile& profile, Board& board) {
  const CommandOutcome outcome = LoadBoardProfile(board.link, board.port, profile, c.store);
  if (c.json && outcome == CommandOutcome::Applied) {
    Json json = Json::object();
    json["file"] = c.file;
    json["fields"] = ProfileJson(profile);
    json["channel"] = profile.channel;
    json["stored"] = c.store;
    PrintJson(env.out, json);
  } else {
    PrintStatus(env, LoadStatusText(outcome, profile), outcome);
  }
  return BoardCommandExit(outcome == CommandOutcome::Applied, board.sink.count());
}

int RunDiff(const ProfileCommands& c, Environment& env, const BoardProfile& file, Board& board) {
  const std::optional<RegisterSnapshot> snapshot = ReadBoardSnapshot(board.link, board.port);
  if (!snapshot || board.sink.count() != 0) return DIFF_TROUBLE;
  const BoardProfile boardProfile = ProfileFromSnapshot(*snapshot);
  const auto differences = DiffProfiles(boardProfile, file);
  if (c.json) {
    // Values as numbers, as "fields" and "channel" have them.
    const auto values = [](const BoardProfile& profile) {
      Json json = ProfileJson(profile);
      json[std::string(PROFILE_CHANNEL_NAME)] = profile.channel;
      return json;
    };
    const Json boardValues = values(boardProfile);
    const Json fileValues = values(file);
    Json list = Json::array();
    for (const auto& d : differences) {
      const std::string name(d.name);
      list.push_back({{"field", name}, {"board", boardValues[name]}, {"file", fileValues[name]}});
    }
    Json json = Json::object();
    json["file"] = c.file;
    json["differences"] = list;
    json["board"] = SnapshotJson(*snapshot);
    PrintJson(env.out, json);
  } else {
    for (const auto& d : differences)
      env.out << d.name << ": board " << d.boardValue << ", file " << d.fileValue << '\n';
  }
  return differences.empty() ? DIFF_SAME : DIFF_DIFFERENT;
}

}  // namespace

bool ProfileCommands::Chosen() const {
  return save->parsed() || load->parsed() || diff->parsed() || (read->parsed() && json);
}

void ProfileCommands::ClearValues() {
  file.clear();
  store = false;
  json = false;
  profile.reset();
}

void AddProfileCommands(CLI::App& app, CLI::App& read, ProfileCommands& c) {
  c.read = &read;
  CLI::Option* json =
      read.add_flag("--json", c.json, "Print one JSON object: snapshot bytes, fields, channel and quick values");
  if (CLI::Option* raw = read.get_option_no_throw("--raw")) json->excludes(raw);

  c.save = app.add_subcommand("save", "Read the board and write its settings to a profile file");
  c.save->add_option("FILE", c.file, "Profile file; replaced only once the new one is whole")->required();
  c.save->add_flag("--json", c.json, "Also print what was saved as one JSON object");

  c.load = app.add_subcommand("load", "Check a profile file whole, then write its settings to the board");
  c.load->add_option("FILE", c.file, "Profile file")->required();
  c.load->add_flag("--store", c.store, "Have the board keep the settings as its power-on defaults");
  c.load->add_flag("--json", c.json, "Print what was written as one JSON object instead of the dump");

  c.diff = app.add_subcommand("diff", "Print the settings where the board differs from a profile file");
  c.diff->add_option("FILE", c.file, "Profile file")->required();
  c.diff->add_flag("--json", c.json, "Print the differences and the board as one JSON object");
}

std::optional<int> CheckProfileFile(ProfileCommands& c, Environment& env) {
  if (!c.load->parsed() && !c.diff->parsed()) return std::nullopt;
  c.profile = ReadChecked(c.file, env);
  if (c.profile) return std::nullopt;
  return c.diff->parsed() ? DIFF_TROUBLE : EXIT_USAGE;
}

int RunProfileCommand(const ProfileCommands& c, Environment& env, const BoardOpener& openBoard) {
  std::optional<BoardProfile> profile = c.profile;
  if ((c.load->parsed() || c.diff->parsed()) && !profile) {
    profile = ReadChecked(c.file, env);
    if (!profile) return c.diff->parsed() ? DIFF_TROUBLE : EXIT_USAGE;
  }
  const std::unique_ptr<Board> board = openBoard();
  if (c.save->parsed()) return RunSave(c, env, *board);
  if (c.load->parsed()) return RunLoad(c, env, *profile, *board);
  if (c.diff->parsed()) return RunDiff(c, env, *profile, *board);
  return RunReadJson(env, *board);
}

}  // namespace vorna::cli
