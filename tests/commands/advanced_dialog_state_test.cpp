#include "commands/advanced_dialog_state.h"

#include <gtest/gtest.h>

namespace vorna {
namespace {

using Items = std::vector<std::string>;

TransmitterFields Board() {
  TransmitterFields f = DefaultFields();
  f[FIELD_PE] = 1;
  f[FIELD_AG] = 1;
  return f;
}

TEST(AdvancedState, OpensOnPeWithItsHelpAndValue) {
  const auto s = OpenAdvancedState(Board());
  EXPECT_EQ(s.selectedField, FIELD_PE);
  EXPECT_EQ(s.helpText, std::string(HelpText(FIELD_PE)));
  EXPECT_EQ(s.valueItems, (Items{"0", "1"}));
  EXPECT_EQ(s.valueSelection, 1);
  EXPECT_FALSE(s.hexShown);
  EXPECT_EQ(s.hexText, "");
}

TEST(AdvancedState, ValueListPerField) {
  const std::pair<std::size_t, Items> rows[] = {{FIELD_PDX, {"0", "1"}},
                                                {FIELD_AG, {"0", "1", "2"}},
                                                {FIELD_PL, {"2", "3"}},
                                                {FIELD_ULD, {"0", "1"}},
                                                {FIELD_CIA, {"0", "1", "2", "3"}},
                                                {FIELD_CEX, {"0", "1", "2", "3"}},
                                                {FIELD_P, {}}};
  for (const auto& [field, items] : rows) EXPECT_EQ(ValueItems(field), items) << FIELD_NAMES[field];
}

TEST(AdvancedState, SelectingPShowsTheHexBoxWithLowerCaseHex) {
  auto s = OpenAdvancedState(Board());
  SelectField(s, FIELD_P);
  EXPECT_TRUE(s.hexShown);
  EXPECT_EQ(s.hexText, "2a58");
  EXPECT_TRUE(s.valueItems.empty());
  EXPECT_EQ(s.helpText, std::string(HelpText(FIELD_P)));
}

TEST(AdvancedState, PlShowsRegisterValuesAndStoresTheIndex) {
  auto s = OpenAdvancedState(Board());
  SelectField(s, FIELD_PL);
  EXPECT_EQ(s.valueSelection, 0);
  SelectValue(s, 1);
  auto fields = AcceptAdvanced(s, false);
  EXPECT_EQ(fields[FIELD_PL], 1);
  EXPECT_EQ(EncodeFields(fields).a2 & 3, 3);
}

TEST(AdvancedState, TestModeValuesShowNoSelectionAndAreWrittenBack) {
  TransmitterFields board = Board();
  board[FIELD_AG] = 3;
  board[FIELD_PL] = -2;
  auto s = OpenAdvancedState(board);
  SelectField(s, FIELD_AG);
  EXPECT_EQ(s.valueSelection, -1);
  SelectField(s, FIELD_PL);
  EXPECT_EQ(s.valueSelection, -1);
  const auto fields = AcceptAdvanced(s, false);
  EXPECT_EQ(fields[FIELD_AG], 3);
  EXPECT_EQ(fields[FIELD_PL], -2);
}

struct HexRow {
  std::string typed;
  std::int32_t p;
};

class TypedP : public ::testing::TestWithParam<HexRow> {};

TEST_P(TypedP, OkReadsTheHexBoxAsPercentX) {
  auto s = OpenAdvancedState(Board());
  SelectField(s, FIELD_P);
  s.hexText = GetParam().typed;
  EXPECT_EQ(AcceptAdvanced(s, false)[FIELD_P], GetParam().p) << '"' << GetParam().typed << '"';
}

INSTANTIATE_TEST_SUITE_P(Rows, TypedP,
                         ::testing::Values(HexRow{"1F40", 0x1F40}, HexRow{"0x1f40", 0x1F40}, HexRow{" 1f40", 0x1F40},
                                           HexRow{"1f40k", 0x1F40}, HexRow{"zz", 0x2A58}, HexRow{"", 0x2A58},
                                           HexRow{"12345", 0x12345}));

TEST(AdvancedState, PNeverSelectedKeepsTheBoardValue) {
  const auto s = OpenAdvancedState(Board());
  EXPECT_EQ(AcceptAdvanced(s, false)[FIELD_P], 0x2A58);
}

TEST(AdvancedState, TypedPSurvivesSelectingAnotherFieldButNotReselectingP) {
  auto s = OpenAdvancedState(Board());
  SelectField(s, FIELD_P);
  s.hexText = "1f40";
  SelectField(s, FIELD_CIA);
  EXPECT_EQ(AcceptAdvanced(s, false)[FIELD_P], 0x1F40);
  SelectField(s, FIELD_P);
  EXPECT_EQ(s.hexText, "2a58");
  EXPECT_EQ(AcceptAdvanced(s, false)[FIELD_P], 0x2A58);
}

TEST(AdvancedState, ValueListNeverSetsP) {
  auto s = OpenAdvancedState(Board());
  SelectField(s, FIELD_P);
  SelectValue(s, 1);
  EXPECT_EQ(s.fields[FIELD_P], 0x2A58);
}

TEST(AdvancedState, RestoreDefaultsWinsOverEverythingTyped) {
  auto s = OpenAdvancedState(Board());
  SelectField(s, FIELD_MUTE);
  SelectValue(s, 1);
  SelectField(s, FIELD_P);
  s.hexText = "1f40";
  EXPECT_EQ(AcceptAdvanced(s, true), DefaultFields());
}

}  // namespace
}  // namespace vorna
