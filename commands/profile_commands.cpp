#include "commands/profile_commands.h"

#include "commands/register_writes.h"

namespace vorna {

bool ReadBoardSnapshot(DeviceLink& link, const PortChoice& port, RegisterSnapshot& snapshot) {
  if (!link.Open(port)) return false;
  const bool read = link.ReadRegisters(snapshot);
  link.ClosePort();
  return read;
}

bool SaveBoardProfile(DeviceLink& link, const PortChoice& port, const std::string& path, MessageSink& sink,
                      RegisterSnapshot& snapshot) {
  if (!ReadBoardSnapshot(link, port, snapshot)) return false;
  std::error_code error;
  if (WriteProfileFile(path, ProfileFromSnapshot(snapshot), &error)) return true;
  sink.Report(std::string(PROFILE_WRITE_ERROR) + path, error.message());
  return false;
}

bool LoadBoardProfile(DeviceLink& link, const PortChoice& port, const BoardProfile& profile, bool store,
                      const StatusSink& status) {
  const bool opened = link.Open(port);
  if (opened) {
    ApplyFields(link, ProfileRegisters(profile));
    link.SetChannel(profile.channel);
    if (store) link.StoreDefaults();
    link.ClosePort();
  }
  status(FormatProfileDump(profile));
  return opened;
}

}  // namespace vorna
