#include "commands/profile_commands.h"

#include <filesystem>
#include <system_error>

#include "commands/register_writes.h"
#include "link/port_session.h"

namespace vorna {

std::optional<RegisterSnapshot> ReadBoardSnapshot(DeviceLink& link, const PortChoice& port) {
  PortSession session(link, port);
  if (!session) return std::nullopt;
  const LinkResult<RegisterSnapshot> read = link.ReadRegisters();
  if (!read) return std::nullopt;
  return read.value();
}

namespace {

// The system's reason, or which folder is missing: saving makes none.
std::string WriteFailureReason(const std::string& path, const std::error_code& error) {
  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  std::error_code unused;
  if (error == std::errc::no_such_file_or_directory && !folder.empty() && !std::filesystem::exists(folder, unused))
    return "the folder " + folder.string() + " does not exist";
  return error.message();
}

}  // namespace

std::optional<RegisterSnapshot> SaveBoardProfile(DeviceLink& link, const PortChoice& port, const std::string& path,
                                                 MessageSink& sink) {
  const std::optional<RegisterSnapshot> snapshot = ReadBoardSnapshot(link, port);
  if (!snapshot) return std::nullopt;
  std::error_code error;
  if (WriteProfileFile(path, ProfileFromSnapshot(*snapshot), &error)) return snapshot;
  sink.Report(std::string(PROFILE_WRITE_ERROR) + path, WriteFailureReason(path, error));
  return std::nullopt;
}

CommandOutcome LoadBoardProfile(DeviceLink& link, const PortChoice& port, const BoardProfile& profile, bool store) {
  CommandOutcome outcome = CommandOutcome::PortNotOpened;
  if (PortSession session(link, port); session) {
    bool written = ApplyFields(link, ProfileRegisters(profile));
    written = link.SetChannel(profile.channel) && written;
    if (store) written = link.StoreDefaults() && written;
    outcome = written ? CommandOutcome::Applied : CommandOutcome::WriteFailed;
  }
  return outcome;
}

std::string LoadStatusText(CommandOutcome outcome, const BoardProfile& profile) {
  return WrittenStatusText(outcome, FormatProfileDump(profile));
}

}  // namespace vorna
