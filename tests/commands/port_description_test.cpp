// The COM Port dialog's words for a number: what it reaches, as far as the
// device tells, and which numbers reach anything.

#include "commands/port_description.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "commands/commands.h"

namespace vorna {
namespace {

DiscoveredPort Port(std::string device, std::vector<int> numbers) {
  DiscoveredPort port;
  port.device = std::move(device);
  port.portNumbers = std::move(numbers);
  return port;
}

DiscoveredPort UsbPort(std::string device, std::vector<int> numbers, std::string manufacturer, std::string product,
                       std::string serial) {
  DiscoveredPort port = Port(std::move(device), std::move(numbers));
  port.vendorId = "2fe3";
  port.productId = "0100";
  port.manufacturer = std::move(manufacturer);
  port.product = std::move(product);
  port.serial = std::move(serial);
  return port;
}

struct DescriptionCase {
  const char* name;
  std::int32_t number;
  std::vector<DiscoveredPort> ports;
  const char* expected;
};

void PrintTo(const DescriptionCase& c, std::ostream* os) { *os << c.name; }

class DescribePortNumberTest : public ::testing::TestWithParam<DescriptionCase> {};

TEST_P(DescribePortNumberTest, SaysWhatTheNumberOpens) {
  EXPECT_EQ(DescribePortNumber(GetParam().number, PortDiscovery{GetParam().ports, {}}), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Devices, DescribePortNumberTest,
    ::testing::Values(
        DescriptionCase{"UsbWithEverything",
                        3,
                        {UsbPort("/dev/ttyACM2", {3}, "Vorna Labs", "FM Eval Board", "VB000123")},
                        "COM3 \u2192 /dev/ttyACM2, FM Eval Board (2fe3:0100, serial VB000123)"},
        DescriptionCase{"UsbWithoutSerial",
                        3,
                        {UsbPort("/dev/ttyUSB2", {3}, "Maker", "Cable", "")},
                        "COM3 \u2192 /dev/ttyUSB2, Cable (2fe3:0100)"},
        DescriptionCase{"UsbWithOnlyTheMaker",
                        3,
                        {UsbPort("/dev/ttyUSB2", {3}, "Maker", "", "")},
                        "COM3 \u2192 /dev/ttyUSB2, Maker (2fe3:0100)"},
        DescriptionCase{"UsbWithoutStrings",
                        3,
                        {UsbPort("/dev/ttyUSB2", {3}, "", "", "S1")},
                        "COM3 \u2192 /dev/ttyUSB2 (2fe3:0100, serial S1)"},
        DescriptionCase{"BuiltInPort", 1, {Port("/dev/ttyS0", {1})}, "COM1 \u2192 /dev/ttyS0"},
        DescriptionCase{"SecondNumberOfAPort",
                        42,
                        {Port("/dev/ttyS0", {1}), Port("/dev/ttyACM0", {7, 42})},
                        "COM42 \u2192 /dev/ttyACM0"},
        DescriptionCase{"NothingThere", 5, {Port("/dev/ttyS0", {1})}, "COM5: nothing at this number"},
        DescriptionCase{"NoDevices", 1, {}, "COM1: nothing at this number"},
        DescriptionCase{"DeviceNoNumberReaches", 4, {Port("/dev/ttyUSB9", {})}, "COM4: nothing at this number"},
        DescriptionCase{"NegativeNumber", -2, {Port("/dev/ttyS0", {1})}, "COM-2: nothing at this number"}),
    [](const auto& info) { return std::string(info.param.name); });

struct TextCase {
  const char* text;
  std::optional<std::int32_t> number;
};

class PortNumberOfTextTest : public ::testing::TestWithParam<TextCase> {};

// The dialog must describe the number OK would set, whatever was typed.
TEST_P(PortNumberOfTextTest, ReadsAsOkWould) {
  EXPECT_EQ(PortNumberOfText(GetParam().text), GetParam().number);
  std::int32_t applied = 9;
  ApplyComPortText(applied, GetParam().text);
  EXPECT_EQ(applied, GetParam().number.value_or(9));
}

INSTANTIATE_TEST_SUITE_P(Texts, PortNumberOfTextTest,
                         ::testing::Values(TextCase{"", std::nullopt}, TextCase{"x", std::nullopt}, TextCase{"3", 3},
                                           TextCase{" 12abc", 12}, TextCase{"0", 1}, TextCase{"-4", -4},
                                           TextCase{"2147483647", 2147483647}, TextCase{"2147483648", std::nullopt}));

TEST(NumbersReachingDevices, AscendingAndOnce) {
  const PortDiscovery discovery{
      {Port("/dev/ttyACM0", {7, 42}), Port("/dev/ttyS0", {1}), Port("/dev/x", {7}), Port("/dev/ttyUSB9", {})}, {}};
  EXPECT_EQ(NumbersReachingDevices(discovery), (std::vector<std::int32_t>{1, 7, 42}));
  EXPECT_TRUE(NumbersReachingDevices({}).empty());
}

}  // namespace
}  // namespace vorna
