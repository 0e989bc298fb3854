#include "app/core/commands.h"

#include "app/core/text_scan.h"

namespace vorna {

namespace {

// Steps shared by both setting commands: open, read, close whatever the read
// gave. The port is never left open while a dialog is up.
std::optional<CommandResult> ReadBoard(SessionState& state, DeviceLink& link, const PortChoice& port) {
  if (!link.Open(port)) return CommandResult::PortNotOpened;
  const bool read = link.ReadRegisters(state.snapshot);
  link.ClosePort();
  if (!read) return CommandResult::ReadFailed;
  return std::nullopt;
}

}  // namespace

CommandResult RunQuickSetting(SessionState& state, DeviceLink& link, const PortChoice& port,
                              const QuickDialog& dialog, const StatusSink& status) {
  if (auto failed = ReadBoard(state, link, port)) return *failed;
  state.quick = QuickFromSnapshot(state.snapshot);
  auto edited = dialog(state.quick);
  if (!edited) return CommandResult::Cancelled;
  state.quick = *edited;
  state.quick.frequency = ClampFrequency(edited->frequency);
  status(FormatQuickSummary(state.quick));
  if (!link.Open(port)) return CommandResult::WritePortNotOpened;
  ApplyQuickSettings(link, state.quick);
  link.ClosePort();
  return CommandResult::Applied;
}

CommandResult RunAdvancedSetting(SessionState& state, DeviceLink& link, const PortChoice& port,
                                 const AdvancedDialog& dialog, const StatusSink& status) {
  if (auto failed = ReadBoard(state, link, port)) return *failed;
  state.fields = DecodeFields(state.snapshot);
  auto edited = dialog(state.fields);
  if (!edited) return CommandResult::Cancelled;
  state.fields = *edited;
  const RegisterBytes registers = EncodeFields(state.fields);
  StoreRegisterBytes(registers, state.snapshot);
  CommandResult result = CommandResult::WritePortNotOpened;
  if (link.Open(port)) {
    ApplyFields(link, registers);
    link.ClosePort();
    result = CommandResult::Applied;
  }
  status(FormatRegisterDump(state.fields));
  return result;
}

void ApplyComPortText(std::int32_t& portNumber, std::string_view text) {
  if (text.empty()) return;
  if (auto number = ScanDecimal(text)) portNumber = *number;
  if (portNumber == 0) portNumber = 1;
}

std::string ComPortText(std::int32_t portNumber) { return std::to_string(portNumber); }

}  // namespace vorna
