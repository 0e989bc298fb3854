// One command on several boards at once: each board's lines under its port,
// in the order given, a board that fails never stopping the others, the
// summary, and the JSON array.

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cli/board_fleet.h"
#include "link/serial_posix.h"
#include "run_vornactl.h"
#include "support/board_sim.h"
#include "support/temp_folder.h"

namespace vorna::test {
namespace {

const std::string BLINK = VORNA_TEST_DATA_DIR "/blink.hex";

// Boards published as COM31 to COM33 in a port-alias folder of their own;
// COM33 refuses the third chunk. COM34 is no board at all.
class ManyBoards : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("XDG_CONFIG_HOME", home_.path().c_str(), 1);
    for (const char* port : {"31", "32"}) boards_.push_back(std::make_unique<BoardSim>(Publish(port, {})));
    boards_.push_back(std::make_unique<BoardSim>(Publish("33", {"--refuse-chunk", "3"})));
    for (const auto& board : boards_) ASSERT_TRUE(board->ok());
  }
  void TearDown() override { ::unsetenv("XDG_CONFIG_HOME"); }

  BoardSimSetup Publish(const char* port, std::vector<std::string> faults) {
    faults.insert(faults.end(), {"--com", port});
    return BoardSimSetup{faults, {}, home_.path().string()};
  }

  TempFolder home_{"vorna-many"};
  std::vector<std::unique_ptr<BoardSim>> boards_;
};

TEST_F(ManyBoards, EachBoardHasItsLinesThenTheSummary) {
  // The global option after the command, as scripts write it.
  const Outcome r = Vornactl({"download", BLINK, "--port", "31,32,33,34"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "COM31: Download success\nCOM32: Download success\n");
  EXPECT_EQ(r.err,
            "COM33: Download failure\nCOM34: Can not open COM34\n"
            "4 boards: 2 succeeded, COM33, COM34 failed\n");
  EXPECT_EQ(boards_[0]->programContents(), boards_[1]->programContents());
  EXPECT_TRUE(boards_[0]->programContents().has_value());

  const Outcome all = Vornactl({"--port", "32,31", "read", "--raw"});
  EXPECT_EQ(all.status, 0) << all.err;
  EXPECT_EQ(all.out,
            "COM32: 21 b4 06 58 2a 00 1a 00 1b 06\nCOM31: 21 b4 06 58 2a 00 1a 00 1b 06\n"
            "2 boards: 2 succeeded\n");
}

TEST_F(ManyBoards, JsonIsOneArrayWithAnObjectPerBoard) {
  const Outcome r = Vornactl({"--json", "--port", "33,31", "download", BLINK});
  EXPECT_EQ(r.status, 1);
  const auto boards = nlohmann::json::parse(r.out);
  ASSERT_EQ(boards.size(), 2u) << r.out;
  EXPECT_EQ(boards[0], nlohmann::json::parse(R"({"port":"COM33","status":1,"succeeded":false,
                                                  "messages":["Download failure"]})"));
  EXPECT_EQ(boards[1], nlohmann::json::parse(R"({"port":"COM31","status":0,"succeeded":true,
                                                  "output":["Download success"],"messages":[]})"));
  EXPECT_EQ(r.err, "COM33: Download failure\n2 boards: 1 succeeded, COM33 failed\n");

  const Outcome read = Vornactl({"read", "--json", "--port", "31,32"});
  EXPECT_EQ(read.status, 0) << read.err;
  EXPECT_EQ(nlohmann::json::parse(read.out)[1]["result"]["channel"], 6) << read.out;
}

// A stop signal ends every board where it is; each download that had begun
// still says how far it came, and nothing else is printed.
TEST_F(ManyBoards, AStopSignalLeavesOnlyHowFarEachDownloadCame) {
  BoardSim silent(Publish("34", {"--silent", "4"}));
  ASSERT_TRUE(silent.ok());
  volatile std::sig_atomic_t stop = 0;
  std::thread watcher([&] {
    // Once COM31 holds its program and COM34 waits for its start's reply.
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (std::chrono::steady_clock::now() < deadline &&
           !(boards_[0]->programContents() && silent.WaitForLogLine("<- aa 03 04 30 01", 2ms)))
      std::this_thread::sleep_for(2ms);
    stop = SIGTERM;
  });
  std::ostringstream out, err;
  cli::Environment env{out, err, false, [&] { return std::make_unique<PosixSerialTransport>(&stop); }, &stop};
  const int status = cli::Run({"--port", "34,31", "download", BLINK}, env);
  watcher.join();
  EXPECT_EQ(status, 128 + SIGTERM);
  EXPECT_EQ(out.str(), "");
  EXPECT_EQ(err.str(), "COM34: Download stopped after 0 of 304 bytes; the board holds an incomplete program\n");
}

TEST(FleetSummary, NamesTheBoardsThatDidNotSucceed) {
  EXPECT_EQ(cli::FleetSummary({"COM1"}, {0}, false), "1 board: 1 succeeded");
  EXPECT_EQ(cli::FleetSummary({"COM1", "COM2", "COM3", "COM4"}, {1, 0, 2, 1}, true),
            "4 boards: 1 succeeded, COM1, COM4 differ, COM3 failed");
}

}  // namespace
}  // namespace vorna::test
