#pragma once
// The host's request frames, spelled out byte for byte rather than built by
// the link's own code, so that a wrong frame on either side still shows.
//   Request::WriteRegister(0x20, 0x07) == {0xAA, 0x03, 0x01, 0x20, 0x07}

#include <cstdint>
#include <vector>

namespace vorna::test::Request {

inline std::vector<std::uint8_t> SetChannel(std::uint8_t channel) { return {0xAA, 0x02, 0x00, channel}; }

inline std::vector<std::uint8_t> WriteRegister(std::uint8_t address, std::uint8_t value) {
  return {0xAA, 0x03, 0x01, address, value};
}

inline std::vector<std::uint8_t> ReadRegisters() { return {0xAA, 0x01, 0x02}; }

inline std::vector<std::uint8_t> StoreDefaults() { return {0xAA, 0x01, 0x03}; }

// The download start for a program of `length` bytes, low byte first.
inline std::vector<std::uint8_t> StartDownload(std::uint16_t length) {
  return {0xAA, 0x03, 0x04, static_cast<std::uint8_t>(length & 0xFF), static_cast<std::uint8_t>(length >> 8)};
}

}  // namespace vorna::test::Request
