#include "sim/line_pacer.h"

namespace vorna::sim {

namespace {
using Nanoseconds = std::chrono::nanoseconds;
constexpr std::uint64_t NANOSECONDS_PER_SECOND = 1'000'000'000;
}  // namespace

Clock::duration LinePacer::LineTime(std::uint64_t bytes) const {
  if (!baud_) return Clock::duration::zero();
  return std::chrono::duration_cast<Clock::duration>(
      Nanoseconds(bytes * LINE_BITS_PER_BYTE * NANOSECONDS_PER_SECOND / *baud_));
}

std::vector<Clock::time_point> LinePacer::Schedule(std::size_t count, Clock::time_point now, Clock::duration spacing) {
  std::vector<Clock::time_point> through;
  through.reserve(count);
  for (std::size_t k = 0; k < count; ++k) {
    const Clock::time_point earliest = now + spacing * static_cast<Clock::rep>(k);
    if (earliest >= lineFree_) {
      burstStart_ = earliest;
      burstBytes_ = 0;
    }
    ++burstBytes_;
    // A burst of exactly `baud` bytes lasts exactly ten seconds: moving its
    // start keeps the arithmetic small during endless bursts.
    if (baud_ && burstBytes_ > *baud_) {
      burstStart_ += LineTime(*baud_);
      burstBytes_ -= *baud_;
    }
    lineFree_ = burstStart_ + LineTime(burstBytes_);
    through.push_back(lineFree_);
  }
  return through;
}

}  // namespace vorna::sim
