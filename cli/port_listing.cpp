#include "cli/port_listing.h"

#include <algorithm>
#include <array>
#include <ostream>
#include <string>
#include <vector>

#include "base/quoted_text.h"
#include "cli/board_json.h"
#include "link/port_discovery.h"

namespace vorna::cli {
namespace {

constexpr std::size_t COLUMNS = 6;
using Row = std::array<std::string, COLUMNS>;
constexpr const char* NONE = "-";
constexpr const char* COLUMN_GAP = "  ";

std::string OrNone(const std::string& text) { return text.empty() ? NONE : text; }

std::string PortNames(const DiscoveredPort& port) {
  std::string names;
  for (const int number : port.portNumbers) names += (names.empty() ? "COM" : ",COM") + std::to_string(number);
  return OrNone(names);
}

std::string UsbId(const DiscoveredPort& port) {
  return port.vendorId.empty() && port.productId.empty() ? NONE : port.vendorId + ":" + port.productId;
}

std::string MakerAndProduct(const DiscoveredPort& port) {
  if (port.manufacturer.empty() || port.product.empty()) return OrNone(port.manufacturer + port.product);
  return port.manufacturer + " " + port.product;
}

const char* HoldText(PortHold hold) {
  switch (hold) {
    case PortHold::Free:
      return "no";
    case PortHold::Held:
      return "yes";
    case PortHold::Unchecked:
      break;
  }
  return "?";
}

// Characters as a terminal shows them: the device's strings are UTF-8.
std::size_t Width(const std::string& text) {
  return static_cast<std::size_t>(
      std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

Json TextOrNull(const std::string& text) { return text.empty() ? Json(nullptr) : Json(text); }

Json PortsJson(const std::vector<DiscoveredPort>& ports) {
  Json array = Json::array();
  for (const auto& port : ports) {
    Json json = Json::object();
    json["device"] = port.device;
    json["port_numbers"] = port.portNumbers;
    json["vendor_id"] = TextOrNull(port.vendorId);
    json["product_id"] = TextOrNull(port.productId);
    json["manufacturer"] = TextOrNull(port.manufacturer);
    json["product"] = TextOrNull(port.product);
    json["serial"] = TextOrNull(port.serial);
    json["driver"] = TextOrNull(port.driver);
    json["by_id"] = port.byId;
    json["held"] = port.hold == PortHold::Unchecked ? Json(nullptr) : Json(port.hold == PortHold::Held);
    array.push_back(std::move(json));
  }
  return array;
}

}  // namespace

std::vector<std::string> PortTableLines(const std::vector<DiscoveredPort>& ports) {
  std::vector<Row> rows{{"COM", "DEVICE", "USB ID", "MANUFACTURER/PRODUCT", "SERIAL", "HELD"}};
  // A device's strings and a link's target come from outside.
  for (const auto& port : ports)
    rows.push_back({PortNames(port), EscapeControls(port.device), EscapeControls(UsbId(port)),
                    EscapeControls(MakerAndProduct(port)), EscapeControls(OrNone(port.serial)), HoldText(port.hold)});
  std::array<std::size_t, COLUMNS> widths{};
  for (const auto& row : rows)
    for (std::size_t i = 0; i < COLUMNS; ++i) widths[i] = std::max(widths[i], Width(row[i]));
  std::vector<std::string> lines;
  for (const auto& row : rows) {
    std::string line;
    for (std::size_t i = 0; i + 1 < COLUMNS; ++i)
      line += row[i] + std::string(widths[i] - Width(row[i]), ' ') + COLUMN_GAP;
    lines.push_back(line + row[COLUMNS - 1]);
  }
  return lines;
}

int RunPorts(Environment& env, bool json, bool verbose) {
  const PortDiscovery discovery = DiscoverPorts(env.portRoots);
  if (!discovery.error.empty()) {
    PrintError(env.err, discovery.error);
    return EXIT_FAILED;
  }
  if (verbose) {
    for (const auto& alias : discovery.unfollowedAliases)
      env.err << EscapeControls(alias.alias + ": alias not followed: " + alias.reason) << '\n';
    for (const auto& port : discovery.ports)
      if (port.hold == PortHold::Unchecked)
        env.err << EscapeControls(port.device + ": hold not tried: " + port.holdReason) << '\n';
  }
  if (json) {
    PrintJson(env.out, PortsJson(discovery.ports));
  } else if (discovery.ports.empty()) {
    PrintError(env.err, "no serial ports found");
  } else {
    for (const std::string& line : PortTableLines(discovery.ports)) env.out << line << '\n';
  }
  return EXIT_OK;
}

}  // namespace vorna::cli
