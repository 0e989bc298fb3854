// What vornactl prints and where, in-process on the in-memory board: JSON
// whatever the names in it, nothing on stdout from a command that failed,
// output that cannot be written, and no exception past Run.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <functional>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "cli/vornactl.h"
#include "commands/profile.h"
#include "run_vornactl.h"
#include "support/fake_board.h"
#include "support/temp_folder.h"

namespace vorna::test {
namespace {

using Strings = std::vector<std::string>;

Outcome RunOnFakeBoard(const Strings& args, const std::function<void(FakeBoard&)>& prepare = {}) {
  std::ostringstream out, err;
  cli::Environment env{out, err, false, [&prepare] {
                         auto board = std::make_unique<FakeBoard>();
                         if (prepare) prepare(*board);
                         return board;
                       }};
  const int status = cli::Run(args, env);
  return {status, out.str(), err.str()};
}

std::string PowerOnProfile() { return FormatProfile(ProfileFromSnapshot(PowerOnSnapshot())); }

// A file name that is not UTF-8 reaches the JSON with its bad byte replaced,
// after the command did its work.
class JsonFileNames : public ::testing::TestWithParam<const char*> {};

TEST_P(JsonFileNames, ABadByteIsReplacedAndTheCommandSucceeds) {
  TempFolder files;
  const std::string path = files.Write("board\xff.vprof", PowerOnProfile());
  const auto r = RunOnFakeBoard({GetParam(), "--json", path});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(nlohmann::json::parse(r.out).at("file"), files.File("board\xef\xbf\xbd.vprof"));
}

INSTANTIATE_TEST_SUITE_P(Commands, JsonFileNames, ::testing::Values("save", "load", "diff"));

// Whatever throws, Run returns 1 with the reason, and nothing on stdout.
TEST(VornactlExceptions, EndInExitOneWithTheReason) {
  std::ostringstream out, err;
  cli::Environment env{out, err, false,
                       []() -> std::unique_ptr<Transport> { throw std::runtime_error("no port today"); }};
  EXPECT_EQ(cli::Run({"read", "--json"}, env), 1);
  EXPECT_EQ(out.str(), "");
  EXPECT_EQ(err.str(), "vornactl: no port today\n");
}

}  // namespace
}  // namespace vorna::test
