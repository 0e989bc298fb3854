#include "commands/register_writes.h"

#include <gtest/gtest.h>

#include "support/fake_board.h"
#include "support/recording_sink.h"
#include "support/requests.h"

namespace vorna {
namespace {

QuickSettings Settings(double f, int power, int level, int pre, int tc) {
  QuickSettings s;
  s.frequency = f;
  s.powerIndex = power;
  s.audioLevelIndex = level;
  s.preEmphasisIndex = pre;
  s.timeConstantIndex = tc;
  return s;
}

TEST(ApplyFields, PrefixThenSevenRegistersEvenAfterFailures) {
  test::FakeBoard board;
  RecordingSink sink;
  DeviceLink link(board, sink, [](int) { return PortLookup{"/dev/fake", {}}; });
  ASSERT_TRUE(link.OpenPort(1));
  board.failingWrites = {2};  // the A0 write fails
  const RegisterBytes r{0x21, 0xB4, 0x06, 0x58, 0x2A, 0x1A, 0x1B};
  EXPECT_FALSE(ApplyFields(link, r));
  using test::Request::WriteRegister;
  const std::vector<test::Bytes> expected = {
      WriteRegister(0xE0, 0x05), WriteRegister(0x00, 0x21), WriteRegister(0x10, 0xB4), WriteRegister(0x20, 0x06),
      WriteRegister(0x30, 0x58), WriteRegister(0x40, 0x2A), WriteRegister(0x60, 0x1A), WriteRegister(0x80, 0x1B)};
  EXPECT_EQ(board.writes, expected);
  // The failed write got no echo from the board, so its compare fails too.
  EXPECT_EQ(sink.Texts(), (std::vector<std::string>{"Write error", "ReadData error"}));
}

struct ApplyFixture : ::testing::Test {
  test::FakeBoard board;
  RecordingSink sink;
  DeviceLink link{board, sink, [](int) { return PortLookup{"/dev/fake", {}}; }};
};

TEST_F(ApplyFixture, WritesA0A2AndTheChannelInOrder) {
  ASSERT_TRUE(link.OpenPort(1));
  EXPECT_TRUE(ApplyQuickSettings(link, Settings(88.1, 1, 2, 0, 1)));
  const std::vector<test::Bytes> expected = {test::Request::WriteRegister(0x00, 0xA1),
                                             test::Request::WriteRegister(0x20, 0x07), test::Request::SetChannel(6)};
  EXPECT_EQ(board.writes, expected);
  EXPECT_FALSE(board.defaultsStored);
}

TEST_F(ApplyFixture, StoreCommandFollowsTheChannelOnlyWhenAsked) {
  ASSERT_TRUE(link.OpenPort(1));
  auto s = Settings(108.0, 0, 0, 1, 0);
  s.storeAsDefault = true;
  ApplyQuickSettings(link, s);
  ASSERT_EQ(board.writes.size(), 4u);
  EXPECT_EQ(board.writes[2], test::Request::SetChannel(205));
  EXPECT_EQ(board.writes[3], test::Request::StoreDefaults());
}

TEST_F(ApplyFixture, EveryStepRunsAfterAFailure) {
  ASSERT_TRUE(link.OpenPort(1));
  board.failingWrites = {1, 3};
  auto s = Settings(95.0, 0, 0, 0, 0);
  s.storeAsDefault = true;
  EXPECT_FALSE(ApplyQuickSettings(link, s));
  EXPECT_EQ(board.writes.size(), 4u);
  EXPECT_EQ(sink.Texts(), (std::vector<std::string>{"Write error", "ReadData error", "WriteFile error"}));
}

}  // namespace
}  // namespace vorna
