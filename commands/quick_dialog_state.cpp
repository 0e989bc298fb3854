#include "commands/quick_dialog_state.h"

#include <cmath>
#include <iterator>

namespace vorna {

namespace {

// 87 MHz starts at .5, the bottom of the band.
constexpr int FIRST_DIGIT_AT_87 = 5;
constexpr int LAST_MHZ_SELECTION = QUICK_MHZ_COUNT - 1;

std::vector<std::string> DigitItems(int from, int to) {
  std::vector<std::string> items;
  for (int d = from; d <= to; ++d) items.push_back(std::to_string(d));
  return items;
}

std::vector<std::string> DigitItemsFor(int mhzSelection) {
  if (mhzSelection == 0) return DigitItems(FIRST_DIGIT_AT_87, 9);
  if (mhzSelection == LAST_MHZ_SELECTION) return DigitItems(0, 0);
  return DigitItems(0, 9);
}

// A list shows an index as its selection only when the index is one of its
// positions.
int Shown(int index, std::size_t count) { return index >= 0 && static_cast<std::size_t>(index) < count ? index : -1; }

// Frequencies come from a channel byte, so they lie between 87.5 and 113.0;
// anything else (not a number, huge) maps to no selection.
int WholeMhz(double frequency) {
  return std::isfinite(frequency) && std::fabs(frequency) < 1e6 ? static_cast<int>(std::trunc(frequency)) : -1000;
}

}  // namespace

std::vector<std::string> MhzItems() { return DigitItems(QUICK_FIRST_MHZ, QUICK_LAST_MHZ); }

FrequencyLists InitialFrequencyLists(double frequency) {
  const int mhz = WholeMhz(frequency);
  const int mhzIndex = mhz - QUICK_FIRST_MHZ;
  FrequencyLists lists;
  lists.digitItems = DigitItemsFor(mhzIndex);
  int digit = 0;
  if (mhz != -1000) {
    const volatile double tenths = frequency * 10;
    digit = static_cast<int>(static_cast<long long>(std::trunc(tenths)) % 10);
  }
  const int digitIndex = mhzIndex == 0 ? digit - FIRST_DIGIT_AT_87 : digit;
  lists.mhzSelection = Shown(mhzIndex, QUICK_MHZ_COUNT);
  lists.digitSelection = Shown(digitIndex, lists.digitItems.size());
  lists.previousMhz = mhzIndex + QUICK_FIRST_MHZ;
  return lists;
}

void SelectMhz(FrequencyLists& lists, int mhzSelection) {
  const int newMhz = mhzSelection + QUICK_FIRST_MHZ;
  const int oldDigit = lists.digitSelection;
  lists.mhzSelection = mhzSelection;
  if (newMhz == QUICK_FIRST_MHZ) {
    lists.digitItems = DigitItems(FIRST_DIGIT_AT_87, 9);
    lists.digitSelection = oldDigit >= FIRST_DIGIT_AT_87 ? oldDigit - FIRST_DIGIT_AT_87 : 0;
  } else if (newMhz == QUICK_LAST_MHZ) {
    lists.digitItems = DigitItems(0, 0);
    lists.digitSelection = 0;
  } else if (lists.previousMhz == QUICK_FIRST_MHZ) {
    // "4" to "0" go in at the top, so the tenth selected before stays.
    lists.digitItems.insert(lists.digitItems.begin(), {"0", "1", "2", "3", "4"});
    lists.digitSelection = Shown(oldDigit + FIRST_DIGIT_AT_87, lists.digitItems.size());
  } else if (lists.previousMhz == QUICK_LAST_MHZ) {
    const auto rest = DigitItems(1, 9);
    lists.digitItems.insert(lists.digitItems.end(), rest.begin(), rest.end());
  }
  lists.previousMhz = newMhz;
}

double FrequencyFromLists(const FrequencyLists& lists) {
  int digit = lists.digitSelection == -1 ? 0 : lists.digitSelection;
  if (lists.mhzSelection == 0) digit += FIRST_DIGIT_AT_87;
  return digit * 0.1 + (lists.mhzSelection + QUICK_FIRST_MHZ);
}

void ChooseFrequency(FrequencyLists& lists, int tenths) {
  const int mhzSelection = tenths / 10 - QUICK_FIRST_MHZ;
  SelectMhz(lists, mhzSelection);
  const int digit = tenths % 10;
  lists.digitSelection = Shown(mhzSelection == 0 ? digit - FIRST_DIGIT_AT_87 : digit, lists.digitItems.size());
}

QuickDialogState OpenQuickState(const QuickSettings& fromBoard) {
  QuickDialogState state;
  state.frequency = InitialFrequencyLists(fromBoard.frequency);
  state.powerSelection = Shown(fromBoard.powerIndex, std::size(OUTPUT_POWER_MW));
  state.audioLevelSelection = Shown(fromBoard.audioLevelIndex, std::size(AUDIO_LEVEL_MVRMS));
  state.preEmphasisSelection = Shown(fromBoard.preEmphasisIndex, std::size(PRE_EMPHASIS_TEXT));
  state.timeConstantSelection = Shown(fromBoard.timeConstantIndex, std::size(TIME_CONSTANT_US));
  return state;
}

QuickSettings AcceptQuick(const QuickDialogState& state) {
  QuickSettings settings;
  settings.frequency = FrequencyFromLists(state.frequency);
  settings.powerIndex = state.powerSelection;
  settings.audioLevelIndex = state.audioLevelSelection;
  settings.preEmphasisIndex = state.preEmphasisSelection;
  settings.timeConstantIndex = state.timeConstantSelection;
  settings.storeAsDefault = state.storeAsDefault;
  return settings;
}

}  // namespace vorna
