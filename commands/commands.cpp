#include "commands/commands.h"

#include "commands/port_description.h"
#include "commands/register_writes.h"
#include "commands/text_scan.h"
#include "link/port_session.h"
#include "model/number_text.h"

namespace vorna {

namespace {

// Steps shared by both setting commands: open, read, close whatever the read
// gave. The port is never left open while a dialog is up.
std::optional<CommandOutcome> ReadBoard(SessionState& state, DeviceLink& link, const PortChoice& port) {
  PortSession session(link, port);
  if (!session) return CommandOutcome::PortNotOpened;
  const LinkResult<RegisterSnapshot> read = link.ReadRegisters();
  if (!read) return CommandOutcome::ReadFailed;
  state.snapshot = read.value();
  return std::nullopt;
}

// Whether the command came as far as values to write: the dialog gave them.
bool ReachedTheWrites(CommandOutcome outcome) {
  return outcome == CommandOutcome::WritePortNotOpened || outcome == CommandOutcome::WriteFailed ||
         outcome == CommandOutcome::Applied;
}

}  // namespace

std::string WrittenStatusText(CommandOutcome outcome, const std::string& shown) {
  if (outcome != CommandOutcome::WriteFailed) return shown;
  return std::string(TEXT_NOT_EVERY_REGISTER_WRITTEN) + "\r\n" + shown;
}

std::optional<std::string> StatusText(const QuickSettingResult& result) {
  if (!ReachedTheWrites(result.outcome)) return std::nullopt;
  return WrittenStatusText(result.outcome, FormatQuickSummary(result.written));
}

std::optional<std::string> StatusText(const AdvancedSettingResult& result) {
  if (!ReachedTheWrites(result.outcome)) return std::nullopt;
  return WrittenStatusText(result.outcome, FormatRegisterDump(result.written));
}

QuickSettingResult RunQuickSetting(SessionState& state, DeviceLink& link, const PortChoice& port,
                                   const QuickDialog& dialog, const QuickWriting& writing) {
  if (auto failed = ReadBoard(state, link, port)) return {*failed, {}};
  state.quick = QuickFromSnapshot(state.snapshot);
  auto edited = dialog(state.quick);
  if (!edited) return {CommandOutcome::Cancelled, {}};
  state.quick = *edited;
  state.quick.frequency = ClampFrequency(edited->frequency);
  if (writing) writing(state.quick);
  PortSession session(link, port);
  if (!session) return {CommandOutcome::WritePortNotOpened, state.quick};
  const bool written = ApplyQuickSettings(link, state.quick);
  return {written ? CommandOutcome::Applied : CommandOutcome::WriteFailed, state.quick};
}

AdvancedSettingResult RunAdvancedSetting(SessionState& state, DeviceLink& link, const PortChoice& port,
                                         const AdvancedDialog& dialog) {
  if (auto failed = ReadBoard(state, link, port)) return {*failed, {}};
  state.fields = DecodeFields(state.snapshot);
  auto edited = dialog(state.fields);
  if (!edited) return {CommandOutcome::Cancelled, {}};
  state.fields = *edited;
  const RegisterBytes registers = EncodeFields(state.fields);
  StoreRegisterBytes(registers, state.snapshot);
  CommandOutcome outcome = CommandOutcome::WritePortNotOpened;
  if (PortSession session(link, port); session)
    outcome = ApplyFields(link, registers) ? CommandOutcome::Applied : CommandOutcome::WriteFailed;
  // What the registers were sent, not what was typed: a P beyond 14 bits
  // reaches the board cut to 14.
  return {outcome, DecodeFields(state.snapshot)};
}

void ApplyComPortText(std::int32_t& portNumber, std::string_view text) {
  if (text.empty()) return;
  if (const std::optional<std::int32_t> number = PortNumberOfText(text)) portNumber = *number;
  if (portNumber == 0) portNumber = 1;
}

std::string ComPortText(std::int32_t portNumber) { return DecimalText(portNumber); }

}  // namespace vorna
