#include "link/port_error_posix.h"

#include <grp.h>
#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace vorna {

namespace {

// Room for any entry of the user or group database; the _r calls are used
// because a board command runs on a worker thread.
constexpr std::size_t ENTRY_BUFFER_SIZE = std::size_t{16} * 1024;

std::string UserName(uid_t uid) {
  passwd entry{};
  passwd* found = nullptr;
  std::vector<char> buffer(ENTRY_BUFFER_SIZE);
  if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr) return entry.pw_name;
  return std::to_string(uid);
}

std::string GroupName(gid_t gid) {
  group entry{};
  group* found = nullptr;
  std::vector<char> buffer(ENTRY_BUFFER_SIZE);
  if (::getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr) return entry.gr_name;
  return std::to_string(gid);
}

bool ProcessHasGroup(gid_t gid) {
  if (::getegid() == gid) return true;
  const int count = ::getgroups(0, nullptr);
  if (count <= 0) return false;
  std::vector<gid_t> groups(static_cast<std::size_t>(count));
  const int got = ::getgroups(count, groups.data());
  return got > 0 && std::find(groups.begin(), groups.begin() + got, gid) != groups.begin() + got;
}

}  // namespace

std::string PortErrorReason(int error) {
  switch (error) {
    case ENOENT:
    case ENXIO:
    case ENODEV:
      return "no such device";
    case EACCES:
    case EPERM:
      return "permission denied";
    case EBUSY:
    case EWOULDBLOCK:
      return "busy: another program has the port open";
    case EIO:
      return "input/output error: the device was unplugged or hung up";
    default:
      return std::strerror(error);
  }
}

std::string PermissionDeniedReason(const DeviceAccess& access) {
  constexpr unsigned GROUP_READ_WRITE = S_IRGRP | S_IWGRP;
  const bool joiningHelps = (access.mode & GROUP_READ_WRITE) == GROUP_READ_WRITE && !access.rootGroup &&
                            !access.ownedByUser && !access.inGroup;
  if (joiningHelps) return "permission denied (add the user to the " + access.group + " group, then log in again)";
  char mode[8];
  std::snprintf(mode, sizeof mode, "%04o", access.mode & 07777U);
  return "permission denied (owner " + access.owner + ", group " + access.group + ", mode " + mode + ")";
}

std::string PermissionDeniedReason(const struct stat& device) {
  return PermissionDeniedReason({UserName(device.st_uid), GroupName(device.st_gid), device.st_mode & 07777U,
                                 device.st_gid == 0, ::geteuid() == device.st_uid, ProcessHasGroup(device.st_gid)});
}

}  // namespace vorna
