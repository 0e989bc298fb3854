#pragma once
// When bytes cross one direction of a serial line. A byte handed to the line
// is through after its ten bit times (start, eight data, stop), and a byte
// waits while the line is still busy with earlier ones. Deadlines count from
// the start of each uninterrupted burst, so oversleeping one of them never
// delays the ones after it.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace vorna::sim {

using Clock = std::chrono::steady_clock;

inline constexpr unsigned LINE_BITS_PER_BYTE = 10;

class LinePacer {
 public:
  // No baud rate: bytes are through the moment they are handed over.
  explicit LinePacer(std::optional<unsigned> baud) : baud_(baud) {}

  // The time each of `count` bytes handed over at `now` is through. Byte k
  // is not started before now + k * `spacing`.
  std::vector<Clock::time_point> Schedule(std::size_t count, Clock::time_point now,
                                          Clock::duration spacing = Clock::duration::zero());

 private:
  Clock::duration LineTime(std::uint64_t bytes) const;

  std::optional<unsigned> baud_;
  Clock::time_point burstStart_{};
  std::uint64_t burstBytes_ = 0;
  Clock::time_point lineFree_{};
};

}  // namespace vorna::sim
