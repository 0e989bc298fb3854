#pragma once
// The frequency entry of the Quick Setting dialog: a list of whole MHz
// (87 to 108) and a list of tenths whose items depend on the MHz chosen
// (87 offers 5-9, 108 only 0, the others 0-9). This is the lists' state and
// their handlers without any widget; the dialog mirrors it into its controls.
// The rest of the dialog is here too, so that the command-line tool reaches
// the same values as the dialog from the same board.

#include <string>
#include <vector>

#include "model/quick_settings.h"

namespace vorna {

inline constexpr int QUICK_FIRST_MHZ = 87;
inline constexpr int QUICK_LAST_MHZ = 108;
inline constexpr int QUICK_MHZ_COUNT = QUICK_LAST_MHZ - QUICK_FIRST_MHZ + 1;

// The items of the MHz list: "87" to "108".
std::vector<std::string> MhzItems();

struct FrequencyLists {
  int mhzSelection = -1;  // index into MhzItems(), -1 for none
  std::vector<std::string> digitItems;
  int digitSelection = -1;  // index into digitItems, -1 for none
  int previousMhz = 0;
};

// The lists as the dialog opens on `frequency`: a value whose MHz or tenth
// the lists do not offer leaves that list without a selection.
FrequencyLists InitialFrequencyLists(double frequency);

// The MHz list's selection changed to `mhzSelection` (0 to 21).
void SelectMhz(FrequencyLists& lists, int mhzSelection);

// The frequency OK forms: no tenth counts as the first item, and 87 MHz's
// items start at 5. Computed in double precision; an MHz list without a
// selection gives 86.x, which the command clamps.
double FrequencyFromLists(const FrequencyLists& lists);

// Picks a frequency as a user does, its MHz and then its tenth; `tenths` is
// the frequency in tenths of a MHz, 875 to 1080.
void ChooseFrequency(FrequencyLists& lists, int tenths);

// The whole Quick Setting dialog: the frequency lists and the selections of
// the four value lists.
struct QuickDialogState {
  FrequencyLists frequency;
  int powerSelection = -1;
  int audioLevelSelection = -1;
  int preEmphasisSelection = -1;
  int timeConstantSelection = -1;
  bool storeAsDefault = false;
};

// The dialog as it opens on the values read from the board: an index its
// list does not offer (a test mode) leaves that list without a selection, and
// "Set as default values" is clear.
QuickDialogState OpenQuickState(const QuickSettings& fromBoard);

// OK: the frequency formed from the lists (not yet clamped) and each list's
// selection as its index, -1 for none.
QuickSettings AcceptQuick(const QuickDialogState& state);

}  // namespace vorna
