#pragma once
// The Advanced Setting dialog without its widgets: the field list, the help
// text, the value list and the hex box that share one place, and what OK
// makes of them. The dialog mirrors this state into its controls.

#include <cstddef>
#include <string>
#include <vector>

#include "model/transmitter_fields.h"

namespace vorna {

struct AdvancedState {
  TransmitterFields fields;
  std::size_t selectedField = FIELD_PE;
  std::string helpText;
  // The value list, shown for every field but P; item k stands for value k.
  std::vector<std::string> valueItems;
  int valueSelection = -1;
  // The hex box with its "0x" label, shown for P instead of the value list.
  // Its text stays when it is hidden.
  bool hexShown = false;
  std::string hexText;
};

// The items the value list offers for `field` (none for P).
std::vector<std::string> ValueItems(std::size_t field);

// The dialog as it opens on `fields`: "PE" selected and its handler run.
AdvancedState OpenAdvancedState(const TransmitterFields& fields);

// The field list's selection changed to `field`.
void SelectField(AdvancedState& state, std::size_t field);

// The value list's selection changed to `item`; P is never set this way.
void SelectValue(AdvancedState& state, int item);

// OK: the hex box's text read as "%x" becomes P when it holds a number, then
// "Restore default values." replaces every field. Returns the fields to write.
TransmitterFields AcceptAdvanced(const AdvancedState& state, bool restoreDefaults);

}  // namespace vorna
