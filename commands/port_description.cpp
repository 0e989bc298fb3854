#include "commands/port_description.h"

#include <algorithm>

#include "commands/text_scan.h"

namespace vorna {
namespace {

const DiscoveredPort* PortReachedBy(std::int32_t number, const PortDiscovery& discovery) {
  for (const DiscoveredPort& port : discovery.ports) {
    if (std::ranges::find(port.portNumbers, number) != port.portNumbers.end()) return &port;
  }
  return nullptr;
}

}  // namespace

std::optional<std::int32_t> PortNumberOfText(std::string_view text) {
  if (text.empty()) return std::nullopt;
  const std::optional<std::int32_t> number = ScanDecimal(text);
  if (!number) return std::nullopt;
  return *number == 0 ? 1 : *number;
}

std::string DescribePortNumber(std::int32_t number, const PortDiscovery& discovery) {
  const std::string name = "COM" + std::to_string(number);
  const DiscoveredPort* port = PortReachedBy(number, discovery);
  if (port == nullptr) return name + ": nothing at this number";
  std::string text = name + " \u2192 " + port->device;
  const std::string& label = port->product.empty() ? port->manufacturer : port->product;
  if (!label.empty()) text += ", " + label;
  if (!port->vendorId.empty()) {
    text += " (" + port->vendorId + ":" + port->productId;
    if (!port->serial.empty()) text += ", serial " + port->serial;
    text += ")";
  }
  return text;
}

std::vector<std::int32_t> NumbersReachingDevices(const PortDiscovery& discovery) {
  std::vector<std::int32_t> numbers;
  for (const DiscoveredPort& port : discovery.ports)
    numbers.insert(numbers.end(), port.portNumbers.begin(), port.portNumbers.end());
  std::ranges::sort(numbers);
  numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
  return numbers;
}

}  // namespace vorna
