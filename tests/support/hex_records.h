#pragma once
// Well-formed Intel HEX and S-record lines (with correct checksums) for the
// tests, fuzzers and benchmarks, without line ends.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace vorna::test {

inline std::string HexByte(unsigned value) {
  char text[3];
  std::snprintf(text, sizeof text, "%02X", value & 0xFFu);
  return text;
}

inline std::string IntelHexLine(unsigned type, unsigned offset, const std::vector<std::uint8_t>& data) {
  unsigned sum = static_cast<unsigned>(data.size()) + (offset >> 8) + (offset & 0xFFu) + type;
  std::string line =
      ":" + HexByte(static_cast<unsigned>(data.size())) + HexByte(offset >> 8) + HexByte(offset) + HexByte(type);
  for (std::uint8_t byte : data) {
    line += HexByte(byte);
    sum += byte;
  }
  return line + HexByte(0x100u - (sum & 0xFFu));
}

inline std::string IntelData(unsigned offset, const std::vector<std::uint8_t>& data) {
  return IntelHexLine(0, offset, data);
}
inline std::string IntelEnd() { return IntelHexLine(1, 0, {}); }
inline std::string IntelSegment(unsigned segment) {
  return IntelHexLine(2, 0, {static_cast<std::uint8_t>(segment >> 8), static_cast<std::uint8_t>(segment)});
}
inline std::string IntelLinear(unsigned upper) {
  return IntelHexLine(4, 0, {static_cast<std::uint8_t>(upper >> 8), static_cast<std::uint8_t>(upper)});
}

// S0 to S9; the address takes 2, 3 or 4 bytes as the type asks (S0, S1, S5,
// S9: 2; S2, S8: 3; S3, S7: 4).
inline std::string SRecordLine(unsigned type, std::uint32_t address, const std::vector<std::uint8_t>& data) {
  const unsigned addressLength = (type == 2 || type == 8) ? 3 : (type == 3 || type == 7) ? 4 : 2;
  const unsigned count = addressLength + static_cast<unsigned>(data.size()) + 1;
  unsigned sum = count;
  std::string line = "S" + std::to_string(type) + HexByte(count);
  for (unsigned i = addressLength; i-- > 0;) {
    const unsigned byte = (address >> (8 * i)) & 0xFFu;
    line += HexByte(byte);
    sum += byte;
  }
  for (std::uint8_t byte : data) {
    line += HexByte(byte);
    sum += byte;
  }
  return line + HexByte(~sum);
}

// `count` bytes counting up from `first`.
inline std::vector<std::uint8_t> CountingBytes(unsigned first, unsigned count) {
  std::vector<std::uint8_t> bytes(count);
  for (unsigned i = 0; i < count; ++i) bytes[i] = static_cast<std::uint8_t>(first + i);
  return bytes;
}

// A whole Intel HEX file of `bytes` from `address` on: data records of at
// most 32 bytes, then the end record, each line ending in "\n".
inline std::string IntelFile(unsigned address, const std::vector<std::uint8_t>& bytes) {
  constexpr std::size_t RECORD_BYTES = 32;
  std::string file;
  for (std::size_t at = 0; at < bytes.size(); at += RECORD_BYTES) {
    const std::size_t end = std::min(bytes.size(), at + RECORD_BYTES);
    file += IntelData(address + static_cast<unsigned>(at),
                      std::vector<std::uint8_t>(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                                                bytes.begin() + static_cast<std::ptrdiff_t>(end))) +
            "\n";
  }
  return file + IntelEnd() + "\n";
}

}  // namespace vorna::test
