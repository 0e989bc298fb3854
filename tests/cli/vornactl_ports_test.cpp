// vornactl ports against device trees built here, in-process through the
// same entry point as the executable.

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "cli/vornactl.h"
#include "run_vornactl.h"
#include "support/fake_port_tree.h"

namespace vorna::test {
namespace {

Outcome ListPorts(const FakeTree& tree, const std::vector<std::string>& args) {
  std::ostringstream out, err;
  cli::Environment env{out, err, false, {}, nullptr, tree.roots()};
  const int status = cli::Run(args, env);
  return {status, out.str(), err.str()};
}

// A board, and an adapter that another program holds and that an alias
// reaches, as COM1 reaches the board.
void BoardAndHeldAdapter(FakeTree& tree) {
  AcmBoard(tree);
  FtdiAdapter(tree);
  tree.Link(tree.dev() / "serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0", "../../ttyUSB0");
  tree.Link(tree.aliases() / "COM20", "/dev/ttyUSB0");
  tree.Hold("ttyUSB0");
}

TEST(VornactlPorts, PrintsATableOfEveryDevice) {
  FakeTree tree;
  BoardAndHeldAdapter(tree);
  const auto r = ListPorts(tree, {"ports"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out,
            "COM    DEVICE        USB ID     MANUFACTURER/PRODUCT      SERIAL    HELD\n"
            "COM1   /dev/ttyACM0  2fe3:0100  Vorna Labs FM Eval Board  VB000123  no\n"
            "COM20  /dev/ttyUSB0  0403:6001  FTDI FT232R USB UART      A50285BI  yes\n");
}

TEST(VornactlPorts, MarksWhatADeviceDoesNotHave) {
  FakeTree tree;
  tree.Tty("ttyS0", tree.sysfs() / "devices/pnp0/00:01", "serial", "4");
  const fs::path usb = tree.UsbDevice("1-4", {{"idVendor", "1a86"}, {"idProduct", "7523"}, {"product", "USB Serial"}});
  tree.Tty("ttyUSB0", usb / "1-4:1.0" / "ttyUSB0", "ch341-uart");
  tree.Tty("ttyAMA0", tree.sysfs() / "devices/platform/uart0", "uart-pl011");
  const auto r = ListPorts(tree, {"ports"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out,
            "COM   DEVICE        USB ID     MANUFACTURER/PRODUCT  SERIAL  HELD\n"
            "COM1  /dev/ttyUSB0  1a86:7523  USB Serial            -       no\n"
            "-     /dev/ttyAMA0  -          -                     -       no\n"
            "-     /dev/ttyS0    -          -                     -       no\n");
}

TEST(VornactlPorts, JsonIsAnArrayOfObjects) {
  FakeTree tree;
  BoardAndHeldAdapter(tree);
  const auto r = ListPorts(tree, {"ports", "--json"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out,
            "[{\"device\":\"/dev/ttyACM0\",\"port_numbers\":[1],\"vendor_id\":\"2fe3\",\"product_id\":\"0100\","
            "\"manufacturer\":\"Vorna Labs\",\"product\":\"FM Eval Board\",\"serial\":\"VB000123\","
            "\"driver\":\"cdc_acm\",\"by_id\":[],\"held\":false},"
            "{\"device\":\"/dev/ttyUSB0\",\"port_numbers\":[20],\"vendor_id\":\"0403\",\"product_id\":\"6001\","
            "\"manufacturer\":\"FTDI\",\"product\":\"FT232R USB UART\",\"serial\":\"A50285BI\","
            "\"driver\":\"ftdi_sio\",\"by_id\":[\"usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0\"],\"held\":true}]\n");
}

TEST(VornactlPorts, JsonGivesNullForWhatIsMissingAndKeepsBadBytes) {
  FakeTree tree;
  const fs::path usb = tree.UsbDevice("1-6", {{"idVendor", "2fe3"}, {"idProduct", "0100"}, {"product", "Bad \xff"}});
  tree.Tty("ttyACM0", usb / "1-6:1.0", "cdc_acm");
  fs::remove(tree.dev() / "ttyACM0");
  tree.Link(tree.dev() / "ttyACM0", "gone");
  const auto r = ListPorts(tree, {"ports", "--json"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out,
            "[{\"device\":\"/dev/ttyACM0\",\"port_numbers\":[1],\"vendor_id\":\"2fe3\",\"product_id\":\"0100\","
            "\"manufacturer\":null,\"product\":\"Bad \xef\xbf\xbd\",\"serial\":null,"
            "\"driver\":\"cdc_acm\",\"by_id\":[],\"held\":null}]\n");
}

TEST(VornactlPorts, VerboseSaysWhyAHoldWasNotTriedAndWhyAnAliasLeadsNowhere) {
  FakeTree tree;
  AcmBoard(tree);
  fs::remove(tree.dev() / "ttyACM0");
  tree.Link(tree.dev() / "ttyACM0", "gone");
  tree.Link(tree.aliases() / "COM2", "COM2");
  auto r = ListPorts(tree, {"ports"});
  EXPECT_EQ(r.err, "");
  EXPECT_NE(r.out.find("VB000123  ?\n"), std::string::npos) << r.out;
  r = ListPorts(tree, {"-v", "ports"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, (tree.aliases() / "COM2").string() +
                       ": alias not followed: Too many levels of symbolic links\n"
                       "/dev/ttyACM0: hold not tried: no such device\n");
}

TEST(VornactlPorts, NoneFoundIsSaidOnStderrAndIsNoFailure) {
  FakeTree tree;
  auto r = ListPorts(tree, {"ports"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "vornactl: no serial ports found\n");
  r = ListPorts(tree, {"ports", "--json"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "[]\n");
  EXPECT_EQ(r.err, "");
}

TEST(VornactlPorts, AnUnreadableTreeExitsOne) {
  FakeTree tree;
  fs::remove_all(tree.sysfs());
  for (const std::vector<std::string>& args : {std::vector<std::string>{"ports"}, {"ports", "--json"}}) {
    const auto r = ListPorts(tree, args);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.rfind("vornactl: cannot read " + (tree.sysfs() / "class/tty").string() + ": ", 0), 0u) << r.err;
  }
}

TEST(VornactlPorts, UsageErrors) {
  FakeTree tree;
  auto r = ListPorts(tree, {"ports", "extra"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("not expected: extra"), std::string::npos) << r.err;
  r = ListPorts(tree, {"prots"});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("'prots' is not a command; did you mean 'ports'?"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace vorna::test
