// Port discovery against device trees built here: the machine's own /sys and
// /dev are never read.

#include "link/port_discovery.h"

#include <grp.h>
#include <pwd.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "support/fake_port_tree.h"
#include "support/unprivileged.h"

namespace vorna {
namespace {

namespace fs = std::filesystem;
using test::AcmBoard;
using test::FakeTree;
using test::FtdiAdapter;

// One line per port, every field, so that a difference shows whole.
std::string Describe(const DiscoveredPort& port) {
  std::string text;
  for (const int number : port.portNumbers) text += "COM" + std::to_string(number) + " ";
  text += port.device + " " + port.vendorId + ":" + port.productId + " [" + port.manufacturer + "|" + port.product +
          "|" + port.serial + "] " + port.driver;
  for (const auto& name : port.byId) text += " by-id:" + name;
  switch (port.hold) {
    case PortHold::Free:
      text += " free";
      break;
    case PortHold::Held:
      text += " held";
      break;
    case PortHold::Unchecked:
      text += " unchecked(" + port.holdReason + ")";
      break;
  }
  return text;
}

// A refused open's reason for a file this process made with `mode`.
std::string DeniedOnOwnFile(const char* mode) {
  const passwd* user = ::getpwuid(::geteuid());
  const group* own = ::getgrgid(::getegid());
  return std::string("permission denied (owner ") + (user ? user->pw_name : "?") + ", group " +
         (own ? own->gr_name : "?") + ", mode " + mode + ")";
}

struct DiscoveryRow {
  std::string name;
  std::function<void(FakeTree&)> build;
  std::vector<std::string> expected;
  // "COMn: why", for each alias that leads to no device.
  std::vector<std::string> unfollowed = {};
  bool asUnprivileged = false;
};

void PrintTo(const DiscoveryRow& row, std::ostream* os) { *os << row.name; }

class DiscoveryRows : public ::testing::TestWithParam<DiscoveryRow> {};

TEST_P(DiscoveryRows, ListsEachDeviceWithItsNumbers) {
  FakeTree tree;
  GetParam().build(tree);
  const auto check = [&] {
    const PortDiscovery discovery = DiscoverPorts(tree.roots());
    EXPECT_EQ(discovery.error, "");
    std::vector<std::string> described;
    for (const auto& port : discovery.ports) described.push_back(Describe(port));
    EXPECT_EQ(described, GetParam().expected);
    std::vector<std::string> unfollowed;
    for (const auto& alias : discovery.unfollowedAliases)
      unfollowed.push_back("COM" + std::to_string(alias.number) + ": " + alias.reason);
    EXPECT_EQ(unfollowed, GetParam().unfollowed);
  };
  if (GetParam().asUnprivileged) {
    tree.OpenToEveryone();
    test::RunUnprivileged(check);
  } else {
    check();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Trees, DiscoveryRows,
    ::testing::Values(
        DiscoveryRow{"AcmWithAllStrings",
                     [](FakeTree& t) { AcmBoard(t); },
                     {"COM1 /dev/ttyACM0 2fe3:0100 [Vorna Labs|FM Eval Board|VB000123] cdc_acm free"}},
        DiscoveryRow{"UsbSerialAdapterWithAndWithoutSerial",
                     [](FakeTree& t) {
                       FtdiAdapter(t);
                       const fs::path usb =
                           t.UsbDevice("1-4", {{"idVendor", "1a86"}, {"idProduct", "7523"}, {"product", "USB Serial"}});
                       t.Tty("ttyUSB1", usb / "1-4:1.0" / "ttyUSB1", "ch341-uart");
                     },
                     {"COM1 /dev/ttyUSB0 0403:6001 [FTDI|FT232R USB UART|A50285BI] ftdi_sio free",
                      "COM2 /dev/ttyUSB1 1a86:7523 [|USB Serial|] ch341-uart free"}},
        DiscoveryRow{"BuiltInPortsWithoutUartLeftOut",
                     [](FakeTree& t) {
                       t.Tty("ttyS0", t.sysfs() / "devices/pnp0/00:01", "serial", "4");
                       t.Tty("ttyS1", t.sysfs() / "devices/platform/serial8250/tty/ttyS1", "serial8250", "0");
                       t.Tty("ttyS2", t.sysfs() / "devices/platform/unbound/ttyS2", "");
                     },
                     {"COM1 /dev/ttyS0 : [||] serial free"}},
        DiscoveryRow{"SerialCorePortsNameTheirControllersDriver",
                     [](FakeTree& t) {
                       const fs::path uart = t.sysfs() / "devices/pnp0/00:00";
                       t.Bind(uart, "pnp", "serial");
                       t.Bind(uart / "00:00:0", "serial-base", "ctrl");
                       t.Bind(uart / "00:00:0/00:00:0.0", "serial-base", "port");
                       t.Tty("ttyS0", uart / "00:00:0/00:00:0.0", "", "4");
                       const fs::path platform = t.sysfs() / "devices/platform/serial8250";
                       t.Bind(platform, "platform", "serial8250");
                       t.Bind(platform / "serial8250:0", "serial-base", "ctrl");
                       t.Bind(platform / "serial8250:0/serial8250:0.1", "serial-base", "port");
                       t.Tty("ttyS1", platform / "serial8250:0/serial8250:0.1", "", "0");
                       t.Bind(t.sysfs() / "devices/orphan/ctrl:0/ctrl:0.0", "serial-base", "port");
                       t.Tty("ttyS2", t.sysfs() / "devices/orphan/ctrl:0/ctrl:0.0", "", "4");
                     },
                     {"COM1 /dev/ttyS0 : [||] serial free"}},
        DiscoveryRow{"AliasAddsANumber",
                     [](FakeTree& t) {
                       FtdiAdapter(t);
                       t.Link(t.aliases() / "COM20", "/dev/ttyUSB0");
                     },
                     {"COM1 COM20 /dev/ttyUSB0 0403:6001 [FTDI|FT232R USB UART|A50285BI] ftdi_sio free"}},
        DiscoveryRow{"AliasTakesTheNumberOfTheDeviceItShadows",
                     [](FakeTree& t) {
                       AcmBoard(t);
                       FtdiAdapter(t, "ttyUSB4");
                       t.Link(t.aliases() / "COM1", "/dev/ttyUSB4");
                       t.Link(t.aliases() / "COM007", "/dev/ttyACM0");
                       t.Link(t.aliases() / "notes", "/dev/ttyACM0");
                     },
                     {"COM1 COM5 /dev/ttyUSB4 0403:6001 [FTDI|FT232R USB UART|A50285BI] ftdi_sio free",
                      "/dev/ttyACM0 2fe3:0100 [Vorna Labs|FM Eval Board|VB000123] cdc_acm free"}},
        DiscoveryRow{"ByIdLinkAndAnAliasThroughIt",
                     [](FakeTree& t) {
                       AcmBoard(t);
                       const std::string byId = "usb-Vorna_Labs_FM_Eval_Board_VB000123-if00";
                       t.Link(t.dev() / "serial/by-id" / byId, "../../ttyACM0");
                       t.Link(t.aliases() / "COM3", "/dev/serial/by-id/" + byId);
                     },
                     {"COM1 COM3 /dev/ttyACM0 2fe3:0100 [Vorna Labs|FM Eval Board|VB000123] cdc_acm "
                      "by-id:usb-Vorna_Labs_FM_Eval_Board_VB000123-if00 free"}},
        DiscoveryRow{"AliasToAPseudoTerminal",
                     [](FakeTree& t) {
                       AcmBoard(t);
                       fs::create_directories(t.dev() / "pts");
                       FakeTree::Write(t.dev() / "pts" / "3", "");
                       t.Link(t.aliases() / "COM5", "/dev/pts/3");
                       t.Link(t.aliases() / "COM9", "../ports/COM5");
                     },
                     {"COM1 /dev/ttyACM0 2fe3:0100 [Vorna Labs|FM Eval Board|VB000123] cdc_acm free",
                      "COM5 COM9 /dev/pts/3 : [||]  free"}},
        DiscoveryRow{"AliasThatLeadsNowhere",
                     [](FakeTree& t) {
                       AcmBoard(t);
                       t.Link(t.aliases() / "COM5", "/dev/pts/3");
                     },
                     {"COM1 /dev/ttyACM0 2fe3:0100 [Vorna Labs|FM Eval Board|VB000123] cdc_acm free"},
                     {"COM5: No such file or directory"}},
        DiscoveryRow{"AliasLoops",
                     [](FakeTree& t) {
                       AcmBoard(t);
                       t.Link(t.aliases() / "COM2", "COM2");
                       t.Link(t.aliases() / "COM3", "COM2");
                     },
                     {"COM1 /dev/ttyACM0 2fe3:0100 [Vorna Labs|FM Eval Board|VB000123] cdc_acm free"},
                     {"COM2: Too many levels of symbolic links", "COM3: Too many levels of symbolic links"}},
        DiscoveryRow{"AliasIntoAFolderTheUserMayNotSearch",
                     [](FakeTree& t) {
                       AcmBoard(t);
                       const fs::path closed = t.aliases().parent_path() / "closed";
                       fs::create_directories(closed / "inner");
                       t.Link(closed / "inner" / "tty", "/dev/ttyACM0");
                       t.Close(closed);
                       t.Link(t.aliases() / "COM6", (closed / "inner" / "tty").string());
                     },
                     {"COM1 /dev/ttyACM0 2fe3:0100 [Vorna Labs|FM Eval Board|VB000123] cdc_acm free"},
                     {"COM6: Permission denied"},
                     true},
        DiscoveryRow{"HeldDevice",
                     [](FakeTree& t) {
                       AcmBoard(t);
                       FtdiAdapter(t);
                       t.Hold("ttyUSB0");
                     },
                     {"COM1 /dev/ttyACM0 2fe3:0100 [Vorna Labs|FM Eval Board|VB000123] cdc_acm free",
                      "/dev/ttyUSB0 0403:6001 [FTDI|FT232R USB UART|A50285BI] ftdi_sio held"}},
        DiscoveryRow{"MissingAndUnreadableAttributes",
                     [](FakeTree& t) {
                       const fs::path usb = t.UsbDevice("1-5", {{"idVendor", "2fe3"}, {"idProduct", "0100"}});
                       fs::create_directories(usb / "product");
                       t.Tty("ttyACM0", usb / "1-5:1.0", "cdc_acm");
                     },
                     {"COM1 /dev/ttyACM0 2fe3:0100 [||] cdc_acm free"}},
        DiscoveryRow{"DeviceNodeThatCannotBeOpened",
                     [](FakeTree& t) {
                       AcmBoard(t);
                       fs::remove(t.dev() / "ttyACM0");
                       t.Link(t.dev() / "ttyACM0", "gone");
                     },
                     {"COM1 /dev/ttyACM0 2fe3:0100 [Vorna Labs|FM Eval Board|VB000123] cdc_acm "
                      "unchecked(no such device)"}},
        DiscoveryRow{"DeviceNodeTheUserMayNotOpen",
                     [](FakeTree& t) {
                       AcmBoard(t);
                       fs::permissions(t.dev() / "ttyACM0", fs::perms::none);
                     },
                     {"COM1 /dev/ttyACM0 2fe3:0100 [Vorna Labs|FM Eval Board|VB000123] cdc_acm unchecked(" +
                      DeniedOnOwnFile("0000") + ")"},
                     {},
                     true},
        DiscoveryRow{"EmptyTree", [](FakeTree&) {}, {}},
        DiscoveryRow{"ConsolesAndDevicesWithoutANodeLeftOut",
                     [](FakeTree& t) {
                       t.VirtualTty("tty0");
                       t.VirtualTty("ptmx");
                       // The kernel's console on a serial port is a person's terminal.
                       t.Tty("ttyS0", t.sysfs() / "devices/platform/serial8250/tty/ttyS0", "serial8250", "4");
                       FakeTree::Write(t.sysfs() / "class/tty/ttyS0/dev", "4:64\n");
                       fs::create_directories(t.proc());
                       FakeTree::Write(t.proc() / "consoles", "ttyS0                -W- (EC p a)    4:64\n");
                       AcmBoard(t, "ttyACM1");
                       fs::remove(t.dev() / "ttyACM1");
                     },
                     {}}),
    [](const ::testing::TestParamInfo<DiscoveryRow>& info) { return info.param.name; });

TEST(DiscoverPorts, ANumberReachesOnlyTheFirstDeviceThatExists) {
  FakeTree tree;
  AcmBoard(tree, "ttyACM1");
  FtdiAdapter(tree, "ttyUSB1");
  tree.Tty("ttyS1", tree.sysfs() / "devices/pnp0/00:02", "serial", "4");
  const auto discovery = DiscoverPorts(tree.roots());
  ASSERT_EQ(discovery.ports.size(), 3u);
  EXPECT_EQ(discovery.ports[0].device, "/dev/ttyACM1");
  EXPECT_EQ(discovery.ports[0].portNumbers, std::vector<int>{2});
  EXPECT_EQ(discovery.ports[1].device, "/dev/ttyS1");
  EXPECT_TRUE(discovery.ports[1].portNumbers.empty());
  EXPECT_EQ(discovery.ports[2].device, "/dev/ttyUSB1");
  EXPECT_TRUE(discovery.ports[2].portNumbers.empty());
}

TEST(DiscoverPorts, TheHoldIsOnlyTriedAndDropped) {
  FakeTree tree;
  AcmBoard(tree);
  ASSERT_EQ(DiscoverPorts(tree.roots()).ports.at(0).hold, PortHold::Free);
  tree.Hold("ttyACM0");
  EXPECT_EQ(DiscoverPorts(tree.roots()).ports.at(0).hold, PortHold::Held);
}

TEST(DiscoverPorts, WithoutTheHoldCheckNoDeviceIsOpened) {
  FakeTree tree;
  AcmBoard(tree);
  tree.Hold("ttyACM0");
  const auto discovery = DiscoverPorts(tree.roots(), HoldCheck::Skip);
  ASSERT_EQ(discovery.ports.size(), 1u);
  EXPECT_EQ(discovery.ports[0].hold, PortHold::Unchecked);
  EXPECT_EQ(discovery.ports[0].holdReason, HOLD_NOT_CHECKED);
  // Everything else is found as with the check.
  EXPECT_EQ(discovery.ports[0].portNumbers, DiscoverPorts(tree.roots()).ports.at(0).portNumbers);
  EXPECT_EQ(discovery.ports[0].product, DiscoverPorts(tree.roots()).ports.at(0).product);
}

TEST(DiscoverPorts, ATreeThatCannotBeReadIsAFailure) {
  FakeTree tree;
  fs::remove_all(tree.sysfs());
  const auto discovery = DiscoverPorts(tree.roots());
  EXPECT_TRUE(discovery.ports.empty());
  EXPECT_NE(discovery.error.find("cannot read " + (tree.sysfs() / "class" / "tty").string() + ": "), std::string::npos)
      << discovery.error;
}

TEST(DiscoverPorts, NoAliasFolderIsNoFailure) {
  FakeTree tree;
  AcmBoard(tree);
  DiscoveryRoots roots = tree.roots();
  roots.aliasFolder.clear();
  const auto discovery = DiscoverPorts(roots);
  EXPECT_EQ(discovery.error, "");
  ASSERT_EQ(discovery.ports.size(), 1u);
  EXPECT_EQ(discovery.ports[0].portNumbers, std::vector<int>{1});
}

}  // namespace
}  // namespace vorna
