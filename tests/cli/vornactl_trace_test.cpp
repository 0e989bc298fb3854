// vornactl --trace and the virtual board's --replay of what it recorded.

#include <sys/wait.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "run_vornactl.h"
#include "support/temp_folder.h"

namespace vorna::test {
namespace {

// A board that misbehaves, recorded; a fresh board replaying the record
// then gives the same command the same messages and the same end.
TEST(VornactlTrace, ReplayedBoardAnswersAsTheRecordedOne) {
  TempFolder folder;
  const std::string trace = folder.File("session.jsonl");
  const std::vector<std::string> command = {"quick", "--freq", "90.1"};
  Outcome recorded;
  {
    BoardSim board({"--corrupt-echo", "2"});
    ASSERT_TRUE(board.ok());
    std::vector<std::string> args = {"--trace", trace};
    args.insert(args.end(), command.begin(), command.end());
    recorded = OnBoard(board, args);
  }
  ASSERT_EQ(recorded.status, cli::EXIT_FAILED);
  ASSERT_NE(recorded.err.find("ReadData error"), std::string::npos) << recorded.err;

  BoardSim replay({"--replay", trace});
  ASSERT_TRUE(replay.ok());
  const Outcome replayed = OnBoard(replay, command);
  EXPECT_EQ(replayed.status, recorded.status);
  EXPECT_EQ(replayed.err, recorded.err);
}

TEST(VornactlTrace, TraceThatCannotBeWrittenStopsBeforeTheBoard) {
  TempFolder folder;
  const std::string trace = folder.File("missing/session.jsonl");
  const Outcome outcome = Vornactl({"--device", folder.File("no-such-device"), "--trace", trace, "read"});
  EXPECT_EQ(outcome.status, cli::EXIT_FAILED);
  EXPECT_EQ(outcome.err, "vornactl: cannot write the trace " + trace + ": No such file or directory\n");
}

TEST(VornactlTrace, BadTraceStopsTheReplayingBoardAtStart) {
  TempFolder folder;
  const std::string trace = folder.Write("bad.jsonl", "{\"time\":0,\"event\":\"start\"}\nnot json\n");
  const SimRun run = RunSimToEnd({"--replay", trace});
  EXPECT_TRUE(WIFEXITED(run.status) && WEXITSTATUS(run.status) == 1) << run.status;
  EXPECT_EQ(run.err, "vorna-board-sim: " + trace + ":2: not a JSON object\n");
}

}  // namespace
}  // namespace vorna::test
