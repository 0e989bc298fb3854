#include "link/port_error_posix.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace vorna {
namespace {

struct ErrorRow {
  const char* name;
  int error;
  std::string reason;
};

void PrintTo(const ErrorRow& row, std::ostream* os) { *os << row.name; }

constexpr const char* NO_DEVICE = "no such device";
constexpr const char* DENIED = "permission denied";
constexpr const char* BUSY = "busy: another program has the port open";
constexpr const char* GONE = "input/output error: the device was unplugged or hung up";

class PortErrorRows : public ::testing::TestWithParam<ErrorRow> {};

TEST_P(PortErrorRows, GiveTheReasonAUserCanActOn) { EXPECT_EQ(PortErrorReason(GetParam().error), GetParam().reason); }

INSTANTIATE_TEST_SUITE_P(Errors, PortErrorRows,
                         ::testing::Values(ErrorRow{"NoEntry", ENOENT, NO_DEVICE},
                                           ErrorRow{"NoDeviceOrAddress", ENXIO, NO_DEVICE},
                                           ErrorRow{"NoDevice", ENODEV, NO_DEVICE}, ErrorRow{"Access", EACCES, DENIED},
                                           ErrorRow{"NotPermitted", EPERM, DENIED}, ErrorRow{"Busy", EBUSY, BUSY},
                                           ErrorRow{"LockHeld", EWOULDBLOCK, BUSY}, ErrorRow{"TryAgain", EAGAIN, BUSY},
                                           ErrorRow{"InputOutput", EIO, GONE}),
                         [](const auto& info) { return std::string(info.param.name); });

// The others keep the system's own words.
class OtherErrors : public ::testing::TestWithParam<int> {};

TEST_P(OtherErrors, KeepTheSystemsText) {
  const std::string reason = PortErrorReason(GetParam());
  EXPECT_FALSE(reason.empty());
  EXPECT_EQ(reason, std::strerror(GetParam()));
  for (const char* mapped : {NO_DEVICE, DENIED, BUSY, GONE}) EXPECT_NE(reason, mapped);
}

INSTANTIATE_TEST_SUITE_P(Errors, OtherErrors, ::testing::Values(ENOTTY, EINVAL, ENOSPC, EINTR, EBADF, 0));

// Joining the group is advised only where it lets the user in.
struct AccessRow {
  const char* name;
  DeviceAccess access;
  std::string reason;
};

void PrintTo(const AccessRow& row, std::ostream* os) { *os << row.name; }

class PermissionRows : public ::testing::TestWithParam<AccessRow> {};

TEST_P(PermissionRows, AdviseOnlyWhatLetsTheUserIn) {
  EXPECT_EQ(PermissionDeniedReason(GetParam().access), GetParam().reason);
}

INSTANTIATE_TEST_SUITE_P(
    Devices, PermissionRows,
    ::testing::Values(
        AccessRow{"OtherSerialGroup",
                  {"uucp", "uucp", 0660},
                  "permission denied (add the user to the uucp group, then log in again)"},
        AccessRow{"GroupMayOnlyWrite", {"alice", "tty", 0620}, "permission denied (owner alice, group tty, mode 0620)"},
        AccessRow{"RootGroup", {"root", "root", 0660, true}, "permission denied (owner root, group root, mode 0660)"},
        AccessRow{"AlreadyInGroup",
                  {"root", "dialout", 0660, false, false, true},
                  "permission denied (owner root, group dialout, mode 0660)"},
        AccessRow{"OwnerWithoutBits",
                  {"nobody", "dialout", 0060, false, true},
                  "permission denied (owner nobody, group dialout, mode 0060)"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace vorna
