// Finding the board without a port number, over device trees built here,
// and what is said when there is not exactly one.

#include "cli/board_discovery.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "support/fake_port_tree.h"

namespace vorna::test {
namespace {

// The search over `tree`, with VORNA_BOARD_IDS set to `boardIds` when given.
cli::BoardSearch Search(const FakeTree& tree, std::optional<std::string> boardIds = std::nullopt) {
  std::ostringstream out, err;
  cli::Environment env{out, err, false, {}, nullptr, tree.roots()};
  env.variable = [&](const char* name) { return name == std::string("VORNA_BOARD_IDS") ? boardIds : std::nullopt; };
  return cli::SearchBoards(env);
}

TEST(SearchBoards, SeveralAreNamedUntilTheVariableOrElseTheFileNarrowsThem) {
  FakeTree tree;
  const fs::path usb = tree.UsbDevice("1-2", {{"idVendor", "2fe3"}, {"idProduct", "0100"}, {"serial", "12\x1b-4"}});
  tree.Tty("ttyACM2", usb / "1-2:1.0", "cdc_acm");
  FtdiAdapter(tree, "ttyUSB2");
  fs::remove(tree.sysfs() / PCI_USB / "1-3" / "serial");
  EXPECT_EQ(cli::SeveralBoardsText(Search(tree).boards),
            "several boards: COM3 (/dev/ttyACM2, serial 12\\x1b-4), /dev/ttyUSB2: choose one with --port");
  FakeTree::Write(tree.boards(), "0403:6001\n");
  const auto only = [](const cli::BoardSearch& s) { return s.boards.size() == 1 ? s.boards[0].port.device : "?"; };
  EXPECT_EQ(only(Search(tree)), "/dev/ttyUSB2");
  EXPECT_EQ(only(Search(tree, "2fe3:0100")), "/dev/ttyACM2");
  const cli::BoardSearch bad = Search(tree, "2fe3");
  EXPECT_EQ(bad.problems, std::vector<std::string>{"VORNA_BOARD_IDS: '2fe3' is not VID:PID (four hex digits each)"});
  EXPECT_TRUE(bad.boards.empty() && bad.seen.empty());
}

TEST(SearchBoards, NoneFoundSaysWhatWasSeen) {
  FakeTree tree;
  EXPECT_EQ(cli::NoBoardText(Search(tree)), "no board found: no serial device");
  tree.Tty("ttyS0", tree.sysfs() / "devices/pnp0/00:01", "serial", "4");
  const cli::BoardSearch search = Search(tree);
  EXPECT_EQ(cli::NoBoardText(search), "no board found among these serial devices:");
  EXPECT_EQ(search.seen.at(1), "COM1  /dev/ttyS0  -       -                     -       ?");
  fs::remove_all(tree.sysfs());
  EXPECT_NE(Search(tree).error, "");
}

}  // namespace
}  // namespace vorna::test
