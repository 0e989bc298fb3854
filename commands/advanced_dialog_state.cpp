#include "commands/advanced_dialog_state.h"

#include <cstdint>

#include "commands/text_scan.h"
#include "model/number_text.h"

namespace vorna {

std::vector<std::string> ValueItems(std::size_t field) {
  switch (field) {
    case FIELD_P:
      return {};
    case FIELD_AG:
      return {"0", "1", "2"};
    case FIELD_PL:
      return {"2", "3"};  // register values; the field holds the index
    case FIELD_CIA:
    case FIELD_CIB:
    case FIELD_CEX:
      return {"0", "1", "2", "3"};
    default:
      return {"0", "1"};
  }
}

AdvancedState OpenAdvancedState(const TransmitterFields& fields) {
  AdvancedState state;
  state.fields = fields;
  SelectField(state, FIELD_PE);
  return state;
}

void SelectField(AdvancedState& state, std::size_t field) {
  if (field >= FIELD_COUNT) return;
  state.selectedField = field;
  state.helpText = std::string(HelpText(field));
  state.valueItems = ValueItems(field);
  state.hexShown = field == FIELD_P;
  if (state.hexShown) {
    state.hexText = HexText(static_cast<std::uint32_t>(state.fields[FIELD_P]));
    state.valueSelection = -1;
    return;
  }
  const std::int32_t value = state.fields[field];
  state.valueSelection =
      value >= 0 && static_cast<std::size_t>(value) < state.valueItems.size() ? static_cast<int>(value) : -1;
}

void SelectValue(AdvancedState& state, int item) {
  if (state.selectedField == FIELD_P || item < 0) return;
  state.valueSelection = item;
  state.fields[state.selectedField] = item;
}

TransmitterFields AcceptAdvanced(const AdvancedState& state, bool restoreDefaults) {
  if (restoreDefaults) return DefaultFields();
  TransmitterFields fields = state.fields;
  if (auto p = ScanHex(state.hexText)) fields[FIELD_P] = *p;
  return fields;
}

}  // namespace vorna
