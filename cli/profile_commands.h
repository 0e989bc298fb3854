#pragma once
// vornactl's board profiles — save, load, diff — and its JSON output
// (read --json and --json on the profile commands).

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "cli/board.h"
#include "cli/vornactl.h"
#include "commands/profile.h"

namespace CLI {
class App;
}

namespace vorna::cli {

// diff's own exit statuses, as diff(1) has them.
inline constexpr int DIFF_SAME = 0;
inline constexpr int DIFF_DIFFERENT = 1;
inline constexpr int DIFF_TROUBLE = 2;

// Makes vornactl's board for the chosen port.
using BoardOpener = std::function<std::unique_ptr<Board>()>;

struct ProfileCommands {
  CLI::App* read = nullptr;
  CLI::App* save = nullptr;
  CLI::App* load = nullptr;
  CLI::App* diff = nullptr;
  std::string file;
  bool store = false;
  bool json = false;
  // The profile file's settings once CheckProfileFile has read them whole:
  // read once, whatever the number of boards (the file may be a pipe).
  std::optional<BoardProfile> profile;
  // Whether the command line chose one of these commands (read only with
  // --json).
  bool Chosen() const;
  // The values above as before any command line was read.
  void ClearValues();
};

// Adds save, load and diff to `app`, and --json to `read`.
void AddProfileCommands(CLI::App& app, CLI::App& read, ProfileCommands& commands);

// For load and diff: reads the profile file into `commands.profile` and
// prints every problem in it; the exit status to end with when it has any,
// nullopt when it is whole (or the command reads no profile).
std::optional<int> CheckProfileFile(ProfileCommands& commands, Environment& env);

// Runs the chosen command. A profile is checked whole (unless
// CheckProfileFile did) before `openBoard` is called. Exit status: 0 success; 1 failure or any message reported; 2 a
// profile with problems (each printed as FILE:LINE: what); for diff 1 means
// the board differs from the file and 2 any trouble.
int RunProfileCommand(const ProfileCommands& commands, Environment& env, const BoardOpener& openBoard);

}  // namespace vorna::cli
