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

#include "download/download_procedure.h"
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

enum class CommandResult {
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
    "Not every register was written; the board may hold other values.";

// `text` under TEXT_NOT_EVERY_REGISTER_WRITTEN.
std::string WithWriteFailure(const std::string& text);

// Shown with the values read from the board; the edited values on OK,
// nullopt otherwise. The frequency comes back as the dialog formed it
// (not yet clamped), the store-as-default flag as the box was left.
using QuickDialog = std::function<std::optional<QuickSettings>(const QuickSettings& fromBoard)>;
// Shown with the decoded fields; the fields to write on OK (the hex box and
// "Restore default values." already applied), nullopt otherwise.
using AdvancedDialog = std::function<std::optional<TransmitterFields>(const TransmitterFields& fromBoard)>;

// Read, ask, clamp, show the summary through `status`, then open again and
// apply. The summary is shown before the second open, so it stands whatever
// the writes report; when a write failed it is shown again, under
// TEXT_NOT_EVERY_REGISTER_WRITTEN.
CommandResult RunQuickSetting(SessionState& state, DeviceLink& link, const PortChoice& port, const QuickDialog& dialog,
                              const StatusSink& status);

// Read, ask, encode (the register bytes also go back into the snapshot),
// open again and write the full register set, then show the dump of the
// bytes sent through `status`, also when the second open failed; under
// TEXT_NOT_EVERY_REGISTER_WRITTEN when a write failed.
CommandResult RunAdvancedSetting(SessionState& state, DeviceLink& link, const PortChoice& port,
                                 const AdvancedDialog& dialog, const StatusSink& status);

// The COM Port dialog's OK: an empty text changes nothing; otherwise the
// number read with "%d" replaces the port number (no digit, or a number
// beyond 32 bits, keeps it), and 0 becomes 1.
void ApplyComPortText(std::int32_t& portNumber, std::string_view text);

// The COM Port dialog's starting text: the number as "%d".
std::string ComPortText(std::int32_t portNumber);

}  // namespace vorna
