#include "link/port_discovery_win32.h"

#include "base/windows_api.h"

#include <algorithm>
#include <optional>
#include <string_view>
#include <tuple>

namespace vorna {
namespace {

constexpr const wchar_t* SERIAL_COMM_SUBKEY = L"HARDWARE\\DEVICEMAP\\SERIALCOMM";
constexpr std::string_view COM_PREFIX = "COM";
// More digits than any port number the system hands out.
constexpr std::size_t MAX_PORT_DIGITS = 6;
constexpr const char* HOLD_NOT_TRIED = "a port is not opened to list it, and only opening it tells whether it is held";

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

std::string UpperCase(std::string_view text) {
  std::string upper(text);
  std::transform(upper.begin(), upper.end(), upper.begin(), Upper);
  return upper;
}

// n for "COMn" in any case, n from 1 without leading zeros: the names that
// port number n opens (\\.\COMn).
std::optional<int> PortNumberOf(std::string_view portName) {
  if (portName.size() <= COM_PREFIX.size() || UpperCase(portName.substr(0, COM_PREFIX.size())) != COM_PREFIX)
    return std::nullopt;
  const std::string_view digits = portName.substr(COM_PREFIX.size());
  if (digits.size() > MAX_PORT_DIGITS || digits.front() == '0') return std::nullopt;
  int number = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
    number = number * 10 + (c - '0');
  }
  return number;
}

std::string Utf8(const wchar_t* wide, std::size_t size) {
  if (size == 0) return {};
  const int length = ::WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(size), nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<std::size_t>(std::max(length, 0)), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(size), text.data(), length, nullptr, nullptr);
  return text;
}

std::string ReadFailure(LSTATUS status) {
  return std::string("cannot read the serial ports from ") + SERIAL_COMM_KEY + ": system error " +
         std::to_string(status);
}

struct SerialCommList {
  std::vector<SerialCommValue> values;
  std::string error;
};

// The string values of the list; no key means no serial ports.
SerialCommList ReadSerialComm() {
  SerialCommList list;
  HKEY key = nullptr;
  LSTATUS status = ::RegOpenKeyExW(HKEY_LOCAL_MACHINE, SERIAL_COMM_SUBKEY, 0, KEY_QUERY_VALUE, &key);
  if (status == ERROR_FILE_NOT_FOUND) return list;
  if (status != ERROR_SUCCESS) {
    list.error = ReadFailure(status);
    return list;
  }
  DWORD nameCapacity = 0;
  DWORD dataCapacity = 0;
  status = ::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &nameCapacity,
                              &dataCapacity, nullptr, nullptr);
  std::wstring name(nameCapacity + 1, L'\0');
  std::vector<BYTE> data(dataCapacity + sizeof(wchar_t));
  for (DWORD index = 0; status == ERROR_SUCCESS;) {
    DWORD nameSize = static_cast<DWORD>(name.size());
    DWORD dataSize = static_cast<DWORD>(data.size());
    DWORD type = 0;
    status = ::RegEnumValueW(key, index, name.data(), &nameSize, nullptr, &type, data.data(), &dataSize);
    if (status == ERROR_MORE_DATA) {
      // A value added since the sizes were asked for.
      name.resize(name.size() * 2);
      data.resize(std::max<std::size_t>(data.size() * 2, dataSize + sizeof(wchar_t)));
      status = ERROR_SUCCESS;
      continue;
    }
    if (status != ERROR_SUCCESS) break;
    ++index;
    if (type != REG_SZ) continue;
    std::size_t characters = dataSize / sizeof(wchar_t);
    const auto* text = reinterpret_cast<const wchar_t*>(data.data());
    while (characters > 0 && text[characters - 1] == L'\0') --characters;
    list.values.push_back({Utf8(name.data(), nameSize), Utf8(text, characters)});
  }
  ::RegCloseKey(key);
  if (status != ERROR_NO_MORE_ITEMS) {
    list.values.clear();
    list.error = ReadFailure(status);
  }
  return list;
}

}  // namespace

std::vector<DiscoveredPort> PortsFromSerialComm(const std::vector<SerialCommValue>& values) {
  std::vector<DiscoveredPort> ports;
  for (const SerialCommValue& value : values) {
    if (value.data.empty()) continue;
    const std::string device = "\\\\.\\" + value.data;
    const bool listed = std::any_of(ports.begin(), ports.end(), [&](const DiscoveredPort& port) {
      return UpperCase(port.device) == UpperCase(device);
    });
    if (listed) continue;
    DiscoveredPort port;
    port.device = device;
    port.deviceObject = value.name;
    if (const std::optional<int> number = PortNumberOf(value.data)) port.portNumbers.push_back(*number);
    port.holdReason = HOLD_NOT_TRIED;
    ports.push_back(std::move(port));
  }
  std::sort(ports.begin(), ports.end(), [](const DiscoveredPort& a, const DiscoveredPort& b) {
    // Those that a number reaches first, by number.
    return std::make_tuple(a.portNumbers.empty(), a.portNumbers, a.device) <
           std::make_tuple(b.portNumbers.empty(), b.portNumbers, b.device);
  });
  return ports;
}

// Windows names its ports itself: the roots of the POSIX device tree do not
// apply.
PortDiscovery DiscoverPorts(const DiscoveryRoots&, HoldCheck) {
  SerialCommList list = ReadSerialComm();
  if (!list.error.empty()) return {{}, std::move(list.error)};
  return {PortsFromSerialComm(list.values), {}};
}

}  // namespace vorna
