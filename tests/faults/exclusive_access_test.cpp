// One port, one program: while another process holds the port, vornactl
// reports "Can not open COM<n>" and exits 1. Holds for root too, which
// the terminal's own exclusive mode does not stop; the advisory lock does.

#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

#include "faults/fault_support.h"
#include "support/board_sim.h"

namespace vorna::test {
namespace {

constexpr int PORT = 9;

class ExclusiveAccess : public ::testing::Test {
 protected:
  void SetUp() override { RecordProperty("run_as_root", ::geteuid() == 0 ? "yes" : "no"); }
  PortAliases ports_;
  TempFolder folder_;
  const std::string port_ = std::to_string(PORT);
  const std::string refused_ = "Can not open COM" + std::to_string(PORT) + "\n";
};

TEST_F(ExclusiveAccess, PortHeldByAnotherProcessIsRefusedUntilReleased) {
  BoardSim board(BoardSimSetup{{"--com", port_}, {}, ports_.home(), true});
  ASSERT_TRUE(board.ok());
  {
    const PortHolder holder(board.device());
    Vornactl second(folder_, "second", ports_, {"--port", port_, "read", "--raw"});
    EXPECT_EQ(second.Wait(), 1);
    EXPECT_EQ(second.err(), refused_);
    EXPECT_EQ(second.out(), "");
  }
  EXPECT_TRUE(BoardRequests(board).empty()) << "the refused process sent nothing";
  Vornactl after(folder_, "after", ports_, {"--port", port_, "read", "--raw"});
  EXPECT_EQ(after.Wait(), 0) << after.err();
  EXPECT_EQ(after.out(), "21 b4 06 58 2a 00 1a 00 1b 06\n");
}

TEST_F(ExclusiveAccess, SecondVornactlIsRefusedWhileTheFirstWaitsForItsReply) {
  // The board never answers, so the first process holds the port for the
  // whole read time-out of a register read.
  BoardSim board(BoardSimSetup{{"--com", port_, "--mute"}, {}, ports_.home(), true});
  ASSERT_TRUE(board.ok());
  Vornactl first(folder_, "first", ports_, {"--port", port_, "read"});
  ASSERT_TRUE(board.WaitForLogLine("<- aa 01 02", 5s)) << "the first process never asked the board";
  Vornactl second(folder_, "second", ports_, {"--port", port_, "read"});
  EXPECT_EQ(second.Wait(), 1);
  EXPECT_EQ(second.err(), refused_);
  EXPECT_EQ(first.Wait(), 1);
  EXPECT_EQ(first.err(), "Read error\n");
  EXPECT_EQ(BoardRequests(board).size(), 1u) << Join(BoardRequests(board));
}

}  // namespace
}  // namespace vorna::test
