#pragma once
// Saving a board's settings to a profile and loading them back: the order
// of opening, reading, writing and reporting, shared by the desktop
// application and the command-line tool.

#include <optional>
#include <string>

#include "commands/commands.h"
#include "commands/profile.h"
#include "link/device_link.h"
#include "link/register_snapshot.h"

namespace vorna {

// Reported when the profile file cannot be written; the path follows.
inline constexpr std::string_view PROFILE_WRITE_ERROR = "Can not write ";

// Opens the port, reads the registers and closes the port whatever the read
// gave. Nothing when the port did not open or the read failed (the link has
// reported why).
std::optional<RegisterSnapshot> ReadBoardSnapshot(DeviceLink& link, const PortChoice& port);

// Reads the board, then writes its profile to `path` (replacing the file
// only once the new one is whole). Nothing is written when the read fails,
// and no folder is made; a failed write is reported to `sink`, with the
// system's reason or the folder that does not exist. The snapshot saved, or
// nothing when no file was written.
std::optional<RegisterSnapshot> SaveBoardProfile(DeviceLink& link, const PortChoice& port, const std::string& path,
                                                 MessageSink& sink);

// Writes the fields exactly as the Advanced Setting does (0xE0, then A0 to
// A8), then the channel, then the store command only when `store`; each
// step runs whatever the previous one reported. The outcome is
// PortNotOpened, WriteFailed or Applied.
CommandOutcome LoadBoardProfile(DeviceLink& link, const PortChoice& port, const BoardProfile& profile, bool store);

// The status text a load leaves, also when the port could not be opened:
// FormatProfileDump, under TEXT_NOT_EVERY_REGISTER_WRITTEN when a step
// reported an error.
std::string LoadStatusText(CommandOutcome outcome, const BoardProfile& profile);

}  // namespace vorna
