#pragma once
// The board commands of the main window as plain functions: the order of
// opening, reading, asking, writing and reporting, without any window. The
// desktop application passes its dialogs in as callbacks; the command-line
// tool passes the values it was given.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "base/translatable.h"
#include "link/device_link.h"
#include "link/register_snapshot.h"
#include "model/quick_settings.h"
#include "model/transmitter_fields.h"

namespace vorna {

// What the main window holds between commands.
struct SessionState {
  std::int32_t portNumber = 1;
  std::string hexFilePath;
  RegisterSnapshot snapshot;
  QuickSettings quick;
  // Decoded from the board, then as the Advanced Setting dialog returned
  // them; PL is the index either way.
  TransmitterFields fields;
};

// How a board command ended.
enum class CommandOutcome {
  PortNotOpened,       // the first open failed; nothing else happened
  ReadFailed,          // the register read failed; no dialog was shown
  Cancelled,           // the dialog ended without OK; nothing was written
  WritePortNotOpened,  // the second open failed; nothing was written
  WriteFailed,         // every write was attempted, at least one reported an error
  Applied,             // every write went out and none reported an error
};

// The status text's first line after a WriteFailed, so that a dump or a
// summary is never taken for what the board holds.
inline constexpr std::string_view TEXT_NOT_EVERY_REGISTER_WRITTEN =
    TRANSLATABLE("vorna", "Not every register was written; the board may hold other values.");

// The status text of a command that wrote registers: `shown` (the summary or
// dump of what it wrote), under TEXT_NOT_EVERY_REGISTER_WRITTEN after a
// WriteFailed.
std::string WrittenStatusText(CommandOutcome outcome, const std::string& shown);

// How a Quick Setting ended, and from WritePortNotOpened on the values it
// wrote (or meant to): the frequency clamped.
struct QuickSettingResult {
  CommandOutcome outcome = CommandOutcome::PortNotOpened;
  QuickSettings written;
};

// How an Advanced Setting ended, and from WritePortNotOpened on the fields
// it wrote (or meant to) as the register bytes hold them: a P beyond 14 bits
// cut to 14.
struct AdvancedSettingResult {
  CommandOutcome outcome = CommandOutcome::PortNotOpened;
  TransmitterFields written;
};

// The status text a command leaves, made by the formatting of its values
// (FormatQuickSummary, FormatRegisterDump); nullopt when it leaves the
// status as it was (it ended before it had values to write).
std::optional<std::string> StatusText(const QuickSettingResult& result);
std::optional<std::string> StatusText(const AdvancedSettingResult& result);

// Shown with the values read from the board; the edited values on OK,
// nullopt otherwise. The frequency comes back as the dialog formed it
// (not yet clamped), the store-as-default flag as the box was left.
using QuickDialog = std::function<std::optional<QuickSettings>(const QuickSettings& fromBoard)>;
// Shown with the decoded fields; the fields to write on OK (the hex box and
// "Restore default values." already applied), nullopt otherwise.
using AdvancedDialog = std::function<std::optional<TransmitterFields>(const TransmitterFields& fromBoard)>;
// Told the values a Quick Setting is about to write, the frequency clamped,
// before the port is opened again: the desktop shows their summary then, so
// that it stands whatever the writes report.
using QuickWriting = std::function<void(const QuickSettings& toWrite)>;

// Read, ask, clamp, tell `writing`, then open again and apply.
QuickSettingResult RunQuickSetting(SessionState& state, DeviceLink& link, const PortChoice& port,
                                   const QuickDialog& dialog, const QuickWriting& writing = {});

// Read, ask, encode (the register bytes also go back into the snapshot),
// open again and write the full register set.
AdvancedSettingResult RunAdvancedSetting(SessionState& state, DeviceLink& link, const PortChoice& port,
                                         const AdvancedDialog& dialog);

// The COM Port dialog's OK: an empty text changes nothing; otherwise the
// number read with "%d" replaces the port number (no digit, or a number
// beyond 32 bits, keeps it), and 0 becomes 1.
void ApplyComPortText(std::int32_t& portNumber, std::string_view text);

// The COM Port dialog's starting text: the number as "%d".
std::string ComPortText(std::int32_t portNumber);

}  // namespace vorna
