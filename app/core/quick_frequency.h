#pragma once
// The frequency entry of the Quick Setting dialog: a list of whole MHz
// (87 to 108) and a list of tenths whose items depend on the MHz chosen
// (87 offers 5-9, 108 only 0, the others 0-9). This is the lists' state and
// their handlers without any widget; the dialog mirrors it into its controls.

#include <string>
#include <vector>

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

}  // namespace vorna
