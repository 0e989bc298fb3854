// vornactl's argument handling in-process, on argument lists the fuzzer
// makes (arguments separated by zero bytes), against an in-memory board
// that answers as a working one does. The tool runs in a scratch folder of
// its own, and arguments holding a '/' are not tried, so that "image -o"
// writes nowhere else; the fuzzer's own paths are made absolute first.

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "cli/vornactl.h"
#include "fuzz_check.h"
#include "support/fake_board.h"
#include "support/temp_folder.h"

namespace {

namespace fs = std::filesystem;

constexpr std::size_t MAX_ARGUMENTS = 16;
// A hex file the arguments can name.
constexpr const char* SAMPLE_NAME = "blink.hex";
// "ports" lists an empty tree of its own, never the machine's devices.
constexpr const char* PORT_TREE_NAME = "port-tree";

constexpr std::string_view ARTIFACT_FLAG = "-artifact_prefix=";

// The run's working folder, removed when the fuzzer exits.
const fs::path& Scratch() {
  static const vorna::test::TempFolder folder("vorna-fuzz-cli");
  return folder.path();
}

// The fuzzer's arguments with every corpus folder made absolute and the
// place for crash reports fixed to the folder it was started in, since the
// run moves to the scratch folder.
std::vector<std::string>& FuzzerArguments() {
  static std::vector<std::string> arguments;
  return arguments;
}
std::vector<char*>& FuzzerArgv() {
  static std::vector<char*> argv;
  return argv;
}

// Removes whatever the run wrote ("image -o"), so that the folder does not
// grow over millions of runs.
void Sweep() {
  for (const auto& entry : fs::directory_iterator(Scratch())) {
    const auto name = entry.path().filename();
    if (name != SAMPLE_NAME && name != PORT_TREE_NAME) fs::remove_all(entry.path());
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  const fs::path started = fs::current_path();
  auto& arguments = FuzzerArguments();
  bool artifactPlace = false;
  for (int i = 0; i < *argc; ++i) {
    const std::string argument = (*argv)[i];
    artifactPlace = artifactPlace || argument.starts_with(ARTIFACT_FLAG);
    arguments.push_back(i > 0 && !argument.starts_with("-") ? fs::absolute(argument).string() : argument);
  }
  if (!artifactPlace) arguments.push_back(std::string(ARTIFACT_FLAG) + started.string() + "/");
  for (auto& argument : arguments) FuzzerArgv().push_back(argument.data());
  FuzzerArgv().push_back(nullptr);
  *argc = static_cast<int>(arguments.size());
  *argv = FuzzerArgv().data();

  fs::copy_file(VORNA_SAMPLE_HEX, Scratch() / SAMPLE_NAME);
  fs::create_directories(Scratch() / PORT_TREE_NAME / "sys" / "class" / "tty");
  fs::create_directories(Scratch() / PORT_TREE_NAME / "dev");
  fs::current_path(Scratch());
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  if (text.find('/') != std::string_view::npos) return -1;  // keep out of the corpus
  std::vector<std::string> args;
  for (std::size_t start = 0; start < text.size() && args.size() < MAX_ARGUMENTS;) {
    const std::size_t end = std::min(text.find('\0', start), text.size());
    args.emplace_back(text.substr(start, end - start));
    start = end + 1;
  }

  std::ostringstream out;
  std::ostringstream err;
  vorna::cli::Environment env{out, err, false, [] { return std::make_unique<vorna::test::FakeBoard>(); }};
  const fs::path tree = Scratch() / PORT_TREE_NAME;
  env.portRoots = {(tree / "sys").string(), (tree / "dev").string(), (tree / "ports").string()};
  env.portRoots.boardsFile = (tree / "boards").string();
  // Without --port the in-memory board is port 1, not a board to be found.
  env.variable = [](const char* name) {
    return std::string_view(name) == "VORNA_PORT" ? std::optional<std::string>("1") : std::nullopt;
  };
  // Built once: the parser's construction would otherwise be most of a run.
  static vorna::cli::CommandLine commandLine;
  const int status = commandLine.Run(args, env);
  FUZZ_CHECK(status == vorna::cli::EXIT_OK || status == vorna::cli::EXIT_FAILED || status == vorna::cli::EXIT_USAGE,
             "the exit status is 0, 1 or 2");
  if (status == vorna::cli::EXIT_USAGE) {
    FUZZ_CHECK(out.str().empty(), "a usage error prints nothing on stdout");
    // load and diff refuse a profile file that does not check with
    // "FILE:LINE: what is wrong" and status 2, without the usage.
    const bool profileCommand =
        std::ranges::any_of(args, [](const std::string& a) { return a == "load" || a == "diff"; });
    const bool usageShown = err.str().find("Usage: vornactl") != std::string::npos;
    FUZZ_CHECK(usageShown || (profileCommand && err.str().find(": ") != std::string::npos && err.str().ends_with('\n')),
               "a usage error shows the usage; a refused profile file says where and why");
  }
  // Only "image" writes files.
  if (std::ranges::find(args, "image") != args.end()) Sweep();
  return 0;
}
