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
std::optional<CommandResult> ReadBoard(SessionState& state, DeviceLink& link, const PortChoice& port) {
  PortSession session(link, port);
  if (!session) return CommandResult::PortNotOpened;
  const LinkResult<RegisterSnapshot> read = link.ReadRegisters();
  if (!read) return CommandResult::ReadFailed;
  state.snapshot = read.value();
  return std::nullopt;
}

}  // namespace

std::string WithWriteFailure(const std::string& text) {
  return std::string(TEXT_NOT_EVERY_REGISTER_WRITTEN) + "\r\n" + text;
}

CommandResult RunQuickSetting(SessionState& state, DeviceLink& link, const PortChoice& port, const QuickDialog& dialog,
                              const StatusSink& status) {
  if (auto failed = ReadBoard(state, link, port)) return *failed;
  state.quick = QuickFromSnapshot(state.snapshot);
  auto edited = dialog(state.quick);
  if (!edited) return CommandResult::Cancelled;
  state.quick = *edited;
  state.quick.frequency = ClampFrequency(edited->frequency);
  const std::string summary = FormatQuickSummary(state.quick);
  status(summary);
  bool written = false;
  {
    PortSession session(link, port);
    if (!session) return CommandResult::WritePortNotOpened;
    written = ApplyQuickSettings(link, state.quick);
  }
  if (written) return CommandResult::Applied;
  status(WithWriteFailure(summary));
  return CommandResult::WriteFailed;
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
  if (PortSession session(link, port); session)
    result = ApplyFields(link, registers) ? CommandResult::Applied : CommandResult::WriteFailed;
  // What the registers were sent, not what was typed: a P beyond 14 bits
  // reaches the board cut to 14.
  const std::string dump = FormatRegisterDump(DecodeFields(state.snapshot));
  status(result == CommandResult::WriteFailed ? WithWriteFailure(dump) : dump);
  return result;
}

void ApplyComPortText(std::int32_t& portNumber, std::string_view text) {
  if (text.empty()) return;
  if (const std::optional<std::int32_t> number = PortNumberOfText(text)) portNumber = *number;
  if (portNumber == 0) portNumber = 1;
}

std::string ComPortText(std::int32_t portNumber) { return DecimalText(portNumber); }

}  // namespace vorna
