// One parser for many command lines: each reads exactly as a fresh vornactl
// does, so no option, flag or command of an earlier line carries over. The
// lines come in pairs where a value left over would change the second one's
// requests or output.

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "cli/vornactl.h"
#include "support/fake_board.h"
#include "support/fake_port_tree.h"

namespace vorna::test {
namespace {

struct Result {
  int status;
  std::string out;
  std::string err;
  bool operator==(const Result&) const = default;
};

void PrintTo(const Result& r, std::ostream* os) {
  *os << "status " << r.status << "\nout:\n" << r.out << "err:\n" << r.err;
}

class ReuseTest : public ::testing::Test {
 protected:
  // A fresh board each run, so that only the parser can carry anything over.
  Result RunWith(cli::CommandLine* parser, const std::vector<std::string>& args) {
    std::ostringstream out, err;
    cli::Environment env{out, err, false, [this] { return std::make_unique<FakeBoard>(); }, nullptr, tree_.roots()};
    const int status = parser ? parser->Run(args, env) : cli::Run(args, env);
    return {status, out.str(), err.str()};
  }

  FakeTree tree_;
};

const std::vector<std::vector<std::string>> LINES = {
    {"-v", "--port", "3", "quick", "--freq", "100.0", "--power", "1", "--store"},
    {"quick"},
    {"read", "--json"},
    {"read"},
    {"read", "--raw"},
    {"read"},
    {"advanced", "--set", "PL=3", "--defaults"},
    {"advanced"},
    {"--device", "/dev/null", "read"},
    {"read"},
    {"ports", "--json"},
    {"ports"},
    {"quick", "--freq", ""},
    {"quick", "--freq"},
    {"nonsense"},
    {"--version"},
    {"--help"},
    {},
    {"read"},
};

TEST_F(ReuseTest, EveryLineReadsAsInAFreshProcess) {
  cli::CommandLine reused;
  for (const auto& line : LINES) {
    std::string shown;
    for (const auto& word : line) shown += " '" + word + "'";
    SCOPED_TRACE("vornactl" + shown);
    const Result fresh = RunWith(nullptr, line);
    EXPECT_EQ(RunWith(&reused, line), fresh);
  }
}

// Lines keep reading alike across the times the parser is built afresh.
TEST_F(ReuseTest, ManyLinesReadAlike) {
  cli::CommandLine reused;
  const std::vector<std::string> line = {"--port", "3", "read", "--raw"};
  const Result fresh = RunWith(nullptr, line);
  for (int i = 0; i < 9000; ++i) {
    const Result result = RunWith(&reused, line);
    if (result != fresh) {
      ADD_FAILURE() << "line " << i << " read differently";
      break;
    }
  }
  EXPECT_EQ(RunWith(&reused, LINES.front()), RunWith(nullptr, LINES.front()));
}

}  // namespace
}  // namespace vorna::test
