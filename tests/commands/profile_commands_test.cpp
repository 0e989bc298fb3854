// Saving and loading board profiles against the fake board: what goes over
// the wire and in which order, what is reported, and what is left behind
// when a step fails.

#include "commands/profile_commands.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "support/fake_board.h"
#include "support/recording_sink.h"
#include "support/temp_folder.h"

namespace vorna::test {
namespace {

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;
using Step = FakeBoard::ReadStep;

struct ProfileCommandTest : ::testing::Test {
  // Records the status text the load of `profile` leaves.
  CommandOutcome Shown(CommandOutcome outcome, const BoardProfile& profile) {
    statuses.push_back(LoadStatusText(outcome, profile));
    writesAtStatus.push_back(board.writes.size());
    return outcome;
  }

  test::TempFolder folder;
  FakeBoard board;
  RecordingSink sink;
  int allowedOpens = 1000;
  DeviceLink link{board, sink, [this](int n) {
                    if (static_cast<int>(board.opened.size()) >= allowedOpens) return PortLookup{{}, "gone"};
                    return PortLookup{"/dev/test" + std::to_string(n), {}};
                  }};
  std::vector<std::string> statuses;
  std::vector<std::size_t> writesAtStatus;
};

// A profile whose every register byte differs from the fake board's.
BoardProfile Changed() {
  BoardProfile p;
  p.fields.values = {0, 1, 1, 1, 0, 3, 1, 1, -1, 0, 0x1F40, 2, 0, 1};
  p.channel = 205;
  return p;
}

const std::vector<Bytes> CHANGED_WRITES = {
    {0xAA, 0x03, 0x01, 0xE0, 0x05}, {0xAA, 0x03, 0x01, 0x00, 0xD6}, {0xAA, 0x03, 0x01, 0x10, 0xFC},
    {0xAA, 0x03, 0x01, 0x20, 0x01}, {0xAA, 0x03, 0x01, 0x30, 0x40}, {0xAA, 0x03, 0x01, 0x40, 0x1F},
    {0xAA, 0x03, 0x01, 0x60, 0x04}, {0xAA, 0x03, 0x01, 0x80, 0x19}, {0xAA, 0x02, 0x00, 0xCD}};

TEST_F(ProfileCommandTest, LoadWritesTheFieldsAsTheAdvancedSettingThenTheChannel) {
  EXPECT_EQ(Shown(LoadBoardProfile(link, PortChoice{3, {}}, Changed(), false), Changed()), CommandOutcome::Applied);
  EXPECT_EQ(board.writes, CHANGED_WRITES);
  EXPECT_FALSE(board.defaultsStored);
  EXPECT_EQ(board.opened, Strings{"/dev/test3"});
  EXPECT_FALSE(board.IsOpen());
  EXPECT_TRUE(sink.entries.empty());
  EXPECT_EQ(statuses, Strings{FormatProfileDump(Changed())});
  EXPECT_EQ(writesAtStatus, std::vector<std::size_t>{CHANGED_WRITES.size()});
}

TEST_F(ProfileCommandTest, LoadStoresOnlyWhenAskedAndLast) {
  EXPECT_EQ(Shown(LoadBoardProfile(link, PortChoice{}, Changed(), true), Changed()), CommandOutcome::Applied);
  ASSERT_EQ(board.writes.size(), CHANGED_WRITES.size() + 1);
  EXPECT_EQ(board.writes.back(), (Bytes{0xAA, 0x01, 0x03}));
  EXPECT_TRUE(board.defaultsStored);
}

TEST_F(ProfileCommandTest, LoadThatCannotOpenWritesNothingButShowsTheDump) {
  board.refusedDevices = {"/dev/test1"};
  EXPECT_EQ(Shown(LoadBoardProfile(link, PortChoice{}, Changed(), true), Changed()), CommandOutcome::PortNotOpened);
  EXPECT_TRUE(board.writes.empty());
  EXPECT_EQ(sink.Texts(), Strings{"Can not open COM1"});
  EXPECT_EQ(statuses, Strings{FormatProfileDump(Changed())});
}

TEST_F(ProfileCommandTest, LoadGoesOnAfterAFailedWriteAndReportsEach) {
  board.failingWrites = {2, 9};
  EXPECT_EQ(Shown(LoadBoardProfile(link, PortChoice{}, Changed(), false), Changed()), CommandOutcome::WriteFailed);
  EXPECT_EQ(board.writes.size(), CHANGED_WRITES.size());
  // The A0 write and its missing echo, then the channel's write.
  EXPECT_EQ(sink.Texts(), (Strings{"Write error", "ReadData error", "WriteFile error"}));
  EXPECT_FALSE(board.IsOpen());
  EXPECT_EQ(statuses, Strings{std::string(TEXT_NOT_EVERY_REGISTER_WRITTEN) + "\r\n" + FormatProfileDump(Changed())});
}

TEST_F(ProfileCommandTest, SaveWritesTheBoardsProfile) {
  board.registers[0] = 0xD6;
  board.channel = 205;
  const std::string path = (folder / "board.vprof").string();
  const std::optional<RegisterSnapshot> snapshot = SaveBoardProfile(link, PortChoice{}, path, sink);
  ASSERT_TRUE(snapshot);
  EXPECT_EQ(board.writes, (std::vector<Bytes>{{0xAA, 0x01, 0x02}}));
  EXPECT_FALSE(board.IsOpen());
  EXPECT_TRUE(sink.entries.empty());
  EXPECT_EQ(snapshot->bytes[SNAPSHOT_A0], 0xD6);
  const ProfileParse parse = ReadProfileFile(path);
  ASSERT_TRUE(parse.profile);
  EXPECT_EQ(*parse.profile, ProfileFromSnapshot(*snapshot));
}

TEST_F(ProfileCommandTest, SaveWithAFailedReadLeavesTheOldFile) {
  const std::string path = (folder / "board.vprof").string();
  std::ofstream(path) << "old";
  board.script = {Step{Bytes(9, 0x00)}};
  EXPECT_FALSE(SaveBoardProfile(link, PortChoice{}, path, sink));
  EXPECT_EQ(sink.Texts(), Strings{"Read error"});
  std::ifstream in(path);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "old");
}

TEST_F(ProfileCommandTest, SaveIntoAFolderThatDoesNotExistMakesNoneAndNamesIt) {
  const fs::path missing = folder / "missing" / "deeper";
  const std::string path = (missing / "board.vprof").string();
  EXPECT_FALSE(SaveBoardProfile(link, PortChoice{}, path, sink));
  ASSERT_EQ(sink.Texts(), Strings{"Can not write " + path});
  EXPECT_EQ(sink.entries[0].reason, "the folder " + missing.string() + " does not exist");
  EXPECT_FALSE(fs::exists(folder / "missing"));
}

TEST_F(ProfileCommandTest, SaveThatCannotWriteSaysWhere) {
  const std::string path = folder.path().string();
  EXPECT_FALSE(SaveBoardProfile(link, PortChoice{}, path, sink));
  EXPECT_EQ(sink.Texts(), Strings{"Can not write " + path});
  EXPECT_TRUE(fs::is_directory(path));
}

}  // namespace
}  // namespace vorna::test
