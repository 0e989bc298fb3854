// Port discovery on Windows: the registry's list of serial ports read as
// ports, then the list this machine (or wine) has.

#include "link/port_discovery_win32.h"

#include "link/board_search.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace vorna {
namespace {

struct Listed {
  std::string device;
  std::vector<int> portNumbers;
};

bool operator==(const Listed& a, const Listed& b) { return a.device == b.device && a.portNumbers == b.portNumbers; }

void PrintTo(const Listed& port, std::ostream* os) {
  *os << port.device << " [";
  for (const int number : port.portNumbers) *os << ' ' << number;
  *os << " ]";
}

struct SerialCommCase {
  const char* name;
  std::vector<SerialCommValue> values;
  std::vector<Listed> ports;
};

void PrintTo(const SerialCommCase& c, std::ostream* os) { *os << c.name; }

class SerialCommTest : public ::testing::TestWithParam<SerialCommCase> {};

TEST_P(SerialCommTest, ListsEachPortWithTheNumberThatOpensIt) {
  std::vector<Listed> listed;
  for (const DiscoveredPort& port : PortsFromSerialComm(GetParam().values)) {
    listed.push_back({port.device, port.portNumbers});
    // The list tells nothing more, and discovery opens no port.
    EXPECT_EQ(port.hold, PortHold::Unchecked);
    EXPECT_FALSE(port.holdReason.empty());
    EXPECT_TRUE(port.vendorId.empty() && port.productId.empty() && port.manufacturer.empty() && port.product.empty() &&
                port.serial.empty() && port.driver.empty() && port.byId.empty())
        << port.device;
  }
  EXPECT_EQ(listed, GetParam().ports);
}

INSTANTIATE_TEST_SUITE_P(
    Lists, SerialCommTest,
    ::testing::Values(
        SerialCommCase{"Empty", {}, {}},
        SerialCommCase{"OnePort", {{"\\Device\\USBSER000", "COM3"}}, {{"\\\\.\\COM3", {3}}}},
        SerialCommCase{"ByNumberNotByName",
                       {{"\\Device\\Serial0", "COM10"}, {"\\Device\\USBSER000", "COM9"}, {"\\Device\\Serial1", "COM2"}},
                       {{"\\\\.\\COM2", {2}}, {"\\\\.\\COM9", {9}}, {"\\\\.\\COM10", {10}}}},
        SerialCommCase{"AnyCase", {{"\\Device\\VCP0", "com4"}}, {{"\\\\.\\com4", {4}}}},
        // Names that no port number opens are listed after the numbered ones.
        SerialCommCase{"OtherNames",
                       {{"\\Device\\com0com10", "CNCA0"},
                        {"\\Device\\Serial0", "COM0"},
                        {"\\Device\\Serial1", "COM01"},
                        {"\\Device\\Serial2", "COM"},
                        {"\\Device\\Serial3", "COM5x"},
                        {"\\Device\\Serial4", "COM1234567"},
                        {"\\Device\\Serial5", "COM1"}},
                       {{"\\\\.\\COM1", {1}},
                        {"\\\\.\\CNCA0", {}},
                        {"\\\\.\\COM", {}},
                        {"\\\\.\\COM0", {}},
                        {"\\\\.\\COM01", {}},
                        {"\\\\.\\COM1234567", {}},
                        {"\\\\.\\COM5x", {}}}},
        SerialCommCase{"LargestNumber", {{"\\Device\\Serial0", "COM999999"}}, {{"\\\\.\\COM999999", {999999}}}},
        SerialCommCase{
            "ListedTwice", {{"\\Device\\Serial0", "COM6"}, {"\\Device\\Serial1", "com6"}}, {{"\\\\.\\COM6", {6}}}},
        SerialCommCase{"EmptyData", {{"\\Device\\Serial0", ""}}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

// Whatever the registry holds here (wine lists its com links, or nothing),
// reading it succeeds and gives well-formed ports.
// The list has no USB IDs: a USB port (any but a built-in one) can be the
// board, whatever IDs the user listed.
TEST(BoardCandidatesWin32, AreTheUsbPorts) {
  const std::vector<DiscoveredPort> ports =
      PortsFromSerialComm({{"\\Device\\Serial0", "COM1"}, {"\\Device\\USBSER000", "COM3"}, {"\\Device\\VCP0", "COM4"}});
  std::vector<int> numbers;
  for (const BoardCandidate& candidate : BoardCandidates({ports, {}}, {{0x2fe3, 0x0100}}))
    numbers.push_back(candidate.portNumber);
  EXPECT_EQ(numbers, (std::vector<int>{3, 4}));
}

TEST(DiscoverPortsWin32, ReadsTheSystemList) {
  const PortDiscovery discovery = DiscoverPorts({});
  EXPECT_EQ(discovery.error, "");
  for (const DiscoveredPort& port : discovery.ports) {
    EXPECT_EQ(port.device.rfind("\\\\.\\", 0), 0u) << port.device;
    EXPECT_EQ(port.hold, PortHold::Unchecked);
  }
}

}  // namespace
}  // namespace vorna
