#pragma once
// The ten bytes the board reports: registers A0 to A8, then the frequency
// channel; and where each register sits in the chip's address space.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace vorna {

inline constexpr std::size_t REGISTER_SNAPSHOT_SIZE = 10;

// Byte positions inside the snapshot.
inline constexpr std::size_t SNAPSHOT_A0 = 0;
inline constexpr std::size_t SNAPSHOT_A1 = 1;
inline constexpr std::size_t SNAPSHOT_A2 = 2;
inline constexpr std::size_t SNAPSHOT_A3 = 3;
inline constexpr std::size_t SNAPSHOT_A4 = 4;
inline constexpr std::size_t SNAPSHOT_A5 = 5;  // carried, not interpreted
inline constexpr std::size_t SNAPSHOT_A6 = 6;
inline constexpr std::size_t SNAPSHOT_A7 = 7;  // carried, not interpreted
inline constexpr std::size_t SNAPSHOT_A8 = 8;
inline constexpr std::size_t SNAPSHOT_CHANNEL = 9;

// The registers come first in the snapshot, one byte each.
inline constexpr std::size_t REGISTER_COUNT = SNAPSHOT_CHANNEL;

// The register table: snapshot index <-> write-register address. Register An
// is snapshot byte n and chip address n * 0x10 (A0 at 0x00 ... A8 at 0x80).
inline constexpr std::uint8_t REGISTER_ADDRESS_STEP = 0x10;

inline constexpr std::array<std::uint8_t, REGISTER_COUNT> REGISTER_ADDRESSES = [] {
  std::array<std::uint8_t, REGISTER_COUNT> addresses{};
  for (std::size_t index = 0; index < REGISTER_COUNT; ++index) {
    addresses[index] = static_cast<std::uint8_t>(index * REGISTER_ADDRESS_STEP);
  }
  return addresses;
}();

// The snapshot byte a write to `address` lands in; nullopt for an address
// that names no register.
constexpr std::optional<std::size_t> SnapshotIndexOfAddress(std::uint8_t address) {
  for (std::size_t index = 0; index < REGISTER_COUNT; ++index) {
    if (REGISTER_ADDRESSES[index] == address) return index;
  }
  return std::nullopt;
}

// Register addresses as the chip sees them in a write-register packet.
inline constexpr std::uint8_t REG_A0 = REGISTER_ADDRESSES[SNAPSHOT_A0];
inline constexpr std::uint8_t REG_A1 = REGISTER_ADDRESSES[SNAPSHOT_A1];
inline constexpr std::uint8_t REG_A2 = REGISTER_ADDRESSES[SNAPSHOT_A2];
inline constexpr std::uint8_t REG_A3 = REGISTER_ADDRESSES[SNAPSHOT_A3];
inline constexpr std::uint8_t REG_A4 = REGISTER_ADDRESSES[SNAPSHOT_A4];
inline constexpr std::uint8_t REG_A6 = REGISTER_ADDRESSES[SNAPSHOT_A6];
inline constexpr std::uint8_t REG_A8 = REGISTER_ADDRESSES[SNAPSHOT_A8];

struct RegisterSnapshot {
  std::array<std::uint8_t, REGISTER_SNAPSHOT_SIZE> bytes{};
  bool operator==(const RegisterSnapshot&) const = default;
};

}  // namespace vorna
