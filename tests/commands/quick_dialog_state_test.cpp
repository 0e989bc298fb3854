#include "commands/quick_dialog_state.h"

#include <gtest/gtest.h>

#include <cmath>

#include "model/quick_settings.h"

namespace vorna {
namespace {

using Items = std::vector<std::string>;
const Items ZERO_TO_NINE = {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"};
const Items FIVE_TO_NINE = {"5", "6", "7", "8", "9"};

int MhzSelection(int mhz) { return mhz - QUICK_FIRST_MHZ; }

struct OpeningRow {
  int channel;
  int mhzSelection;  // -1: none
  Items digitItems;
  int digitSelection;
};

class OpeningRows : public ::testing::TestWithParam<OpeningRow> {};

TEST_P(OpeningRows, ListsShowTheBoardFrequency) {
  const auto& row = GetParam();
  const auto lists = InitialFrequencyLists(ChannelToFrequency(static_cast<FrequencyChannel>(row.channel)));
  EXPECT_EQ(lists.mhzSelection, row.mhzSelection);
  EXPECT_EQ(lists.digitItems, row.digitItems);
  EXPECT_EQ(lists.digitSelection, row.digitSelection);
}

INSTANTIATE_TEST_SUITE_P(Rows, OpeningRows,
                         ::testing::Values(OpeningRow{0, 0, FIVE_TO_NINE, 0}, OpeningRow{1, 0, FIVE_TO_NINE, 1},
                                           OpeningRow{205, 21, Items{"0"}, 0}, OpeningRow{13, 1, ZERO_TO_NINE, 8},
                                           OpeningRow{206, 21, Items{"0"}, -1}, OpeningRow{214, 21, Items{"0"}, -1},
                                           OpeningRow{215, -1, ZERO_TO_NINE, 0}, OpeningRow{255, -1, ZERO_TO_NINE, 0}));

TEST(FrequencyLists, EveryChannelOfTheBandOpensOnItsMhzAndTenth) {
  for (int channel = 0; channel <= MAX_CHANNEL; ++channel) {
    const auto lists = InitialFrequencyLists(ChannelToFrequency(static_cast<FrequencyChannel>(channel)));
    const int tenths = 875 + channel;
    EXPECT_EQ(lists.mhzSelection, MhzSelection(tenths / 10)) << channel;
    ASSERT_GE(lists.digitSelection, 0) << channel;
    EXPECT_EQ(lists.digitItems[static_cast<std::size_t>(lists.digitSelection)], std::to_string(tenths % 10));
    // OK without touching anything applies the same channel again.
    EXPECT_EQ(FrequencyToChannel(ClampFrequency(FrequencyFromLists(lists))), channel);
  }
}

FrequencyLists At(int mhz, int digit) {
  auto lists = InitialFrequencyLists(digit * 0.1 + mhz);
  EXPECT_EQ(lists.mhzSelection, MhzSelection(mhz));
  return lists;
}

struct ChangeRow {
  int fromMhz, fromDigit, toMhz;
  Items items;
  int selection;
};

class ChangeRows : public ::testing::TestWithParam<ChangeRow> {};

TEST_P(ChangeRows, DigitListFollowsTheMhz) {
  const auto& row = GetParam();
  auto lists = At(row.fromMhz, row.fromDigit);
  SelectMhz(lists, MhzSelection(row.toMhz));
  EXPECT_EQ(lists.digitItems, row.items);
  EXPECT_EQ(lists.digitSelection, row.selection);
  EXPECT_EQ(lists.previousMhz, row.toMhz);
}

INSTANTIATE_TEST_SUITE_P(Rows, ChangeRows,
                         ::testing::Values(ChangeRow{95, 7, 87, FIVE_TO_NINE, 2},  // "7" stays
                                           ChangeRow{95, 2, 87, FIVE_TO_NINE, 0},  // below 5: "5"
                                           ChangeRow{87, 8, 100, ZERO_TO_NINE, 8}, ChangeRow{95, 3, 108, Items{"0"}, 0},
                                           ChangeRow{108, 0, 95, ZERO_TO_NINE, 0},
                                           ChangeRow{88, 4, 107, ZERO_TO_NINE, 4},
                                           ChangeRow{87, 5, 87, FIVE_TO_NINE, 0},
                                           ChangeRow{108, 0, 87, FIVE_TO_NINE, 0}));

TEST(FrequencyLists, BackFrom108KeepsTheZeroSelected) {
  auto lists = At(95, 3);
  SelectMhz(lists, MhzSelection(108));
  SelectMhz(lists, MhzSelection(95));
  EXPECT_EQ(lists.digitItems, ZERO_TO_NINE);
  EXPECT_EQ(lists.digitSelection, 0);
}

TEST(FrequencyLists, From108Point1WithNothingSelectedStaysUnselected) {
  auto lists = InitialFrequencyLists(ChannelToFrequency(206));
  SelectMhz(lists, MhzSelection(95));
  EXPECT_EQ(lists.digitItems, ZERO_TO_NINE);
  EXPECT_EQ(lists.digitSelection, -1);
  EXPECT_EQ(FrequencyToChannel(FrequencyFromLists(lists)), 75);  // 95.0
}

struct OkRow {
  FrequencyLists lists;
  int channel;
};

TEST(FrequencyLists, OkFormsTheFrequencyAndTheCommandClampsIt) {
  const OkRow rows[] = {
      {At(87, 9), 4},
      {At(108, 0), 205},
      {InitialFrequencyLists(ChannelToFrequency(206)), 205},  // nothing selected: 108.0
      {InitialFrequencyLists(ChannelToFrequency(255)), 0},    // no MHz: 86.0, clamped to 87.5
  };
  for (const auto& row : rows)
    EXPECT_EQ(FrequencyToChannel(ClampFrequency(FrequencyFromLists(row.lists))), row.channel);
}

TEST(FrequencyLists, MhzItemsRunFrom87To108) {
  const auto items = MhzItems();
  ASSERT_EQ(items.size(), 22u);
  EXPECT_EQ(items.front(), "87");
  EXPECT_EQ(items.back(), "108");
}

TEST(FrequencyLists, NonsenseFrequencySelectsNothing) {
  const auto lists = InitialFrequencyLists(std::nan(""));
  EXPECT_EQ(lists.mhzSelection, -1);
}

// What OK gives when the user touches nothing, for boards whose values the
// lists do not all offer.
struct UntouchedRow {
  int channel;
  std::uint8_t a0;
  std::uint8_t a2;
  int channelWritten;
  int power, level, preEmphasis, timeConstant;
};

class UntouchedRows : public ::testing::TestWithParam<UntouchedRow> {};

TEST_P(UntouchedRows, OkGivesWhatTheListsShow) {
  const auto& row = GetParam();
  RegisterSnapshot snapshot;
  snapshot.bytes[SNAPSHOT_A0] = row.a0;
  snapshot.bytes[SNAPSHOT_A2] = row.a2;
  snapshot.bytes[SNAPSHOT_CHANNEL] = static_cast<std::uint8_t>(row.channel);
  const QuickDialogState opened = OpenQuickState(QuickFromSnapshot(snapshot));
  EXPECT_FALSE(opened.storeAsDefault);
  const QuickSettings s = AcceptQuick(opened);
  EXPECT_EQ(FrequencyToChannel(ClampFrequency(s.frequency)), row.channelWritten);
  EXPECT_EQ(s.powerIndex, row.power);
  EXPECT_EQ(s.audioLevelIndex, row.level);
  EXPECT_EQ(s.preEmphasisIndex, row.preEmphasis);
  EXPECT_EQ(s.timeConstantIndex, row.timeConstant);
  EXPECT_FALSE(s.storeAsDefault);
}

INSTANTIATE_TEST_SUITE_P(
    Boards, UntouchedRows,
    ::testing::Values(UntouchedRow{6, 0x21, 0x06, 6, 0, 0, 0, 1}, UntouchedRow{0, 0xB1, 0x07, 0, 1, 2, 1, 1},
                      UntouchedRow{205, 0x01, 0x06, 205, 0, 0, 0, 0},
                      // 108.1 to 108.9: "108" with no tenth, which OK reads as 0.
                      UntouchedRow{206, 0x21, 0x06, 205, 0, 0, 0, 1}, UntouchedRow{214, 0x21, 0x06, 205, 0, 0, 0, 1},
                      // 109.0 and above: no MHz, 86.x clamped to 87.5.
                      UntouchedRow{215, 0x21, 0x06, 0, 0, 0, 0, 1}, UntouchedRow{255, 0x21, 0x06, 0, 0, 0, 0, 1},
                      // Power test modes and audio level 3: no selection, index -1.
                      UntouchedRow{6, 0x21, 0x04, 6, -1, 0, 0, 1}, UntouchedRow{6, 0x21, 0x05, 6, -1, 0, 0, 1},
                      UntouchedRow{6, 0xE1, 0x06, 6, 0, -1, 0, 1}, UntouchedRow{255, 0xF1, 0x04, 0, -1, -1, 1, 1}));

struct ChooseRow {
  int boardChannel;
  int tenths;
  int channel;
};

class ChooseRows : public ::testing::TestWithParam<ChooseRow> {};

TEST_P(ChooseRows, PickingMhzThenTenthGivesThatChannel) {
  const auto& row = GetParam();
  FrequencyLists lists = InitialFrequencyLists(ChannelToFrequency(static_cast<FrequencyChannel>(row.boardChannel)));
  ChooseFrequency(lists, row.tenths);
  EXPECT_EQ(lists.mhzSelection, row.tenths / 10 - QUICK_FIRST_MHZ);
  ASSERT_GE(lists.digitSelection, 0);
  EXPECT_EQ(lists.digitItems[static_cast<std::size_t>(lists.digitSelection)], std::to_string(row.tenths % 10));
  EXPECT_EQ(FrequencyToChannel(ClampFrequency(FrequencyFromLists(lists))), row.channel);
}

INSTANTIATE_TEST_SUITE_P(Frequencies, ChooseRows,
                         ::testing::Values(ChooseRow{6, 881, 6}, ChooseRow{255, 881, 6}, ChooseRow{206, 1080, 205},
                                           ChooseRow{0, 1000, 125}, ChooseRow{205, 875, 0}, ChooseRow{13, 879, 4},
                                           ChooseRow{255, 875, 0}, ChooseRow{215, 1080, 205}, ChooseRow{0, 875, 0},
                                           ChooseRow{205, 1080, 205}));

}  // namespace
}  // namespace vorna
