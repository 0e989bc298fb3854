// A device tree for port discovery, built under a temporary folder: a sysfs
// with its tty class and USB devices, a /dev, a port-alias folder and the
// place of the board-ID file.
#pragma once

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "link/port_discovery.h"

namespace vorna::test {

namespace fs = std::filesystem;

inline constexpr const char* PCI_USB = "devices/pci0000:00/0000:00:14.0/usb1";

// A sysfs tree, a /dev and an alias folder under one temporary folder.
class FakeTree {
 public:
  FakeTree() {
    std::string pattern = (fs::temp_directory_path() / "vorna-ports-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot make a folder for a device tree");
    root_ = pattern;
    fs::create_directories(sysfs() / "class" / "tty");
    fs::create_directories(dev());
  }
  ~FakeTree() {
    for (const int fd : held_) ::close(fd);
    std::error_code ignored;
    for (const auto& folder : closed_) fs::permissions(folder, fs::perms::owner_all, ignored);
    fs::remove_all(root_, ignored);
  }
  FakeTree(const FakeTree&) = delete;
  FakeTree& operator=(const FakeTree&) = delete;

  fs::path sysfs() const { return root_ / "sys"; }
  fs::path dev() const { return root_ / "dev"; }
  fs::path aliases() const { return root_ / "ports"; }
  fs::path proc() const { return root_ / "proc"; }
  fs::path boards() const { return root_ / "boards"; }
  DiscoveryRoots roots() const {
    return {sysfs().string(), dev().string(), aliases().string(), proc().string(), boards().string()};
  }

  // A USB device with the given attribute files.
  fs::path UsbDevice(const std::string& at, const std::map<std::string, std::string>& attributes) {
    const fs::path folder = sysfs() / PCI_USB / at;
    fs::create_directories(folder);
    for (const auto& [name, value] : attributes) Write(folder / name, value + "\n");
    return folder;
  }

  // A tty whose device is `device` (a sysfs folder), bound to `driver` when
  // one is given, with a device node in /dev.
  void Tty(const std::string& name, const fs::path& device, const std::string& driver, const std::string& type = {}) {
    const fs::path classEntry = sysfs() / "class" / "tty" / name;
    fs::create_directories(classEntry);
    fs::create_directories(device);
    fs::create_symlink(fs::relative(device, classEntry), classEntry / "device");
    if (!driver.empty()) Bind(device, "platform", driver);
    if (!type.empty()) Write(classEntry / "type", type + "\n");
    Write(dev() / name, "");
  }

  // `device` bound to the driver of that name on `bus`.
  void Bind(const fs::path& device, const std::string& bus, const std::string& driver) {
    const fs::path driverFolder = sysfs() / "bus" / bus / "drivers" / driver;
    fs::create_directories(driverFolder);
    fs::create_directories(device);
    fs::create_symlink(fs::relative(driverFolder, device), device / "driver");
  }

  // A console or pseudo-terminal entry: a tty with no device.
  void VirtualTty(const std::string& name) {
    fs::create_directories(sysfs() / "class" / "tty" / name);
    Write(dev() / name, "");
  }

  // Lets another user read the tree (the folder is made private).
  void OpenToEveryone() {
    fs::permissions(root_, fs::perms::others_read | fs::perms::others_exec, fs::perm_options::add);
  }

  // Makes `folder` closed to everyone but root until the tree goes.
  void Close(const fs::path& folder) {
    fs::permissions(folder, fs::perms::none);
    closed_.push_back(folder);
  }

  void Link(const fs::path& link, const std::string& target) {
    fs::create_directories(link.parent_path());
    fs::create_symlink(target, link);
  }

  // Another open file holding the device's lock, as a running vorna would.
  void Hold(const std::string& name) {
    const int fd = ::open((dev() / name).c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
    held_.push_back(fd);
  }

  static void Write(const fs::path& file, const std::string& text) { std::ofstream(file) << text; }

 private:
  fs::path root_;
  std::vector<int> held_;
  std::vector<fs::path> closed_;
};

inline void AcmBoard(FakeTree& tree, const std::string& tty = "ttyACM0") {
  const fs::path usb = tree.UsbDevice("1-2", {{"idVendor", "2fe3"},
                                              {"idProduct", "0100"},
                                              {"manufacturer", "Vorna Labs"},
                                              {"product", "FM Eval Board"},
                                              {"serial", "VB000123"}});
  tree.Tty(tty, usb / "1-2:1.0", "cdc_acm");
}

inline void FtdiAdapter(FakeTree& tree, const std::string& tty = "ttyUSB0") {
  const fs::path usb = tree.UsbDevice("1-3", {{"idVendor", "0403"},
                                              {"idProduct", "6001"},
                                              {"manufacturer", "FTDI"},
                                              {"product", "FT232R USB UART"},
                                              {"serial", "A50285BI"}});
  tree.Tty(tty, usb / "1-3:1.0" / tty, "ftdi_sio");
}

}  // namespace vorna::test
