// Which discovered ports can be the board, over device trees built here,
// and the lists of board IDs that narrow the choice.

#include "link/board_search.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/fake_port_tree.h"

namespace vorna {
namespace {

using test::FakeTree;

constexpr BoardId EVAL_BOARD{0x2fe3, 0x0100};
constexpr BoardId FTDI{0x0403, 0x6001};

// The parts a row's tree is made of.
enum Part : unsigned { ACM = 1, USB_SERIAL = 2, BUILT_IN = 4, ALIAS_TO_BUILT_IN = 8, ALIASED_PTY = 16 };

void Build(FakeTree& t, unsigned parts) {
  if (parts & ACM) {
    test::AcmBoard(t, "ttyACM1");
    t.Hold("ttyACM1");  // by another program: still the board
  }
  if (parts & USB_SERIAL) test::FtdiAdapter(t);
  if (parts & BUILT_IN) t.Tty("ttyS0", t.sysfs() / "devices/pnp0/00:01", "serial", "4");
  if (parts & ALIAS_TO_BUILT_IN) t.Link(t.aliases() / "COM7", "/dev/ttyS0");
  if (parts & ALIASED_PTY) {
    FakeTree::Write(t.dev() / "pts3", "");
    t.Link(t.aliases() / "COM5", "/dev/pts3");
  }
}

TEST(BoardCandidates, KeepThePortsThatCanBeTheBoard) {
  const struct {
    const char* name;
    unsigned parts;
    std::vector<BoardId> ids;
    std::vector<std::string> expected;  // "<lowest port number> <device>"
  } rows[] = {
      {"BuiltInPortAnAliasLeadsTo", BUILT_IN | ALIAS_TO_BUILT_IN, {}, {"1 /dev/ttyS0"}},
      {"UsbBoardsButNotTheBuiltInPort", ACM | USB_SERIAL | BUILT_IN, {}, {"1 /dev/ttyUSB0", "2 /dev/ttyACM1"}},
      {"IdsNarrowTwoToOne", ACM | USB_SERIAL, {{0x1234, 0x5678}, FTDI}, {"1 /dev/ttyUSB0"}},
      {"IdsExcludeEveryBoard", ACM | USB_SERIAL, {{0x2fe3, 0x0101}}, {}},
      {"AliasedPtyKeptDespiteIds", ACM | ALIASED_PTY, {FTDI}, {"5 /dev/pts3"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    FakeTree tree;
    Build(tree, row.parts);
    std::vector<std::string> chosen;
    for (const auto& candidate : BoardCandidates(DiscoverPorts(tree.roots()), row.ids))
      chosen.push_back(std::to_string(candidate.portNumber) + " " + candidate.port.device);
    EXPECT_EQ(chosen, row.expected);
  }
}

std::string NotAnId(const std::string& place, const std::string& item) {
  return place + ": '" + item + "' is not VID:PID (four hex digits each)";
}

TEST(BoardIdLists, ParseEveryItemOrSayWhere) {
  const BoardIds file = ParseBoardIdLines(
      "# boards\n2FE3:0100  # eval\r\nxyz\n\n\t0403:6001\n0x2f:0100\n+2fe:0100\n2fe3:0100 0403:6001", "b");
  EXPECT_EQ(file.ids, (std::vector<BoardId>{EVAL_BOARD, FTDI}));
  EXPECT_EQ(file.problems,
            (std::vector<std::string>{NotAnId("b:3", "xyz"), NotAnId("b:6", "0x2f:0100"), NotAnId("b:7", "+2fe:0100"),
                                      NotAnId("b:8", "2fe3:0100 0403:6001")}));
  const BoardIds variable = ParseBoardIdItems(" 2fe3:0100,0403:6001\n,, 2fe3;0100\t1a86:7523", "V");
  EXPECT_EQ(variable.ids, (std::vector<BoardId>{EVAL_BOARD, FTDI, {0x1a86, 0x7523}}));
  EXPECT_EQ(variable.problems, std::vector<std::string>{NotAnId("V", "2fe3;0100")});
}

TEST(LoadBoardIds, AnEmptyVariableStillReplacesTheFileAndAnUnreadableFileIsAProblem) {
  FakeTree tree;
  const std::string file = tree.boards().string();
  FakeTree::Write(tree.boards(), "bad\n");
  EXPECT_EQ(LoadBoardIds(file, std::nullopt).problems, std::vector<std::string>{NotAnId(file + ":1", "bad")});
  EXPECT_EQ(LoadBoardIds(file, "").problems, std::vector<std::string>{});
  std::filesystem::remove(file);
  std::filesystem::create_directory(file);
  EXPECT_EQ(LoadBoardIds(file, std::nullopt).problems,
            std::vector<std::string>{file + ": cannot be read: Is a directory"});
  std::filesystem::remove(file);
  ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
  EXPECT_EQ(LoadBoardIds(file, std::nullopt).problems,
            std::vector<std::string>{file + ": cannot be read: not a regular file"});
}

}  // namespace
}  // namespace vorna
