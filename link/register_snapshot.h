#pragma once
// The ten bytes the board reports: registers A0 to A8, then the frequency
// channel.

#include <array>
#include <cstddef>
#include <cstdint>

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

struct RegisterSnapshot {
  std::array<std::uint8_t, REGISTER_SNAPSHOT_SIZE> bytes{};
  bool operator==(const RegisterSnapshot&) const = default;
};

}  // namespace vorna
