// Byte timing on a paced line: exact deadlines, no drift, no overlap.

#include <gtest/gtest.h>

#include "sim/line_pacer.h"

namespace vorna::sim {
namespace {

using std::chrono::milliseconds;
using std::chrono::nanoseconds;

const Clock::time_point START = Clock::time_point() + std::chrono::seconds(1000);

TEST(LinePacer, WithoutBaudEverythingIsThroughAtOnce) {
  LinePacer line(std::nullopt);
  for (const auto through : line.Schedule(5, START)) EXPECT_EQ(through, START);
}

TEST(LinePacer, EachByteTakesTenBitTimes) {
  LinePacer line(9600u);
  const auto through = line.Schedule(10, START);
  ASSERT_EQ(through.size(), 10u);
  for (std::size_t k = 0; k < through.size(); ++k) {
    // 10 bits at 9600 baud: 1041666.67 ns a byte, rounded down per deadline.
    EXPECT_EQ(through[k] - START, nanoseconds((k + 1) * 10'000'000'000ULL / 9600)) << k;
  }
  EXPECT_EQ(through.back() - START, nanoseconds(10'416'666));
}

TEST(LinePacer, LongBurstsDoNotDrift) {
  LinePacer line(115200u);
  Clock::time_point last;
  // A full download's traffic, handed over in request-sized pieces while
  // the line is still busy.
  std::uint64_t bytes = 0;
  for (int piece = 0; piece < 1000; ++piece) {
    last = line.Schedule(64, START).back();
    bytes += 64;
  }
  EXPECT_EQ(last - START, nanoseconds(bytes * 10'000'000'000ULL / 115200));
}

TEST(LinePacer, EndlessBurstKeepsExactTime) {
  LinePacer line(300u);
  const auto through = line.Schedule(1000, START);
  // 1000 bytes at 300 baud: 33.333 s.
  EXPECT_EQ(through.back() - START, nanoseconds(33'333'333'333));
  EXPECT_EQ(through[299] - START, nanoseconds(10'000'000'000));
}

TEST(LinePacer, IdleLineStartsAfresh) {
  LinePacer line(9600u);
  line.Schedule(1, START);
  const auto later = START + milliseconds(100);
  EXPECT_EQ(line.Schedule(1, later).front() - later, nanoseconds(1'041'666));
}

TEST(LinePacer, BusyLineQueuesBehind) {
  LinePacer line(9600u);
  line.Schedule(10, START);
  // Handed over while the tenth byte is still on the line: the eleventh of
  // the same burst.
  const auto eleventh = line.Schedule(1, START + milliseconds(1)).front();
  EXPECT_EQ(eleventh - START, nanoseconds(11 * 10'000'000'000ULL / 9600));
}

TEST(LinePacer, SpacingHoldsBytesApart) {
  LinePacer line(std::nullopt);
  const auto through = line.Schedule(3, START, milliseconds(400));
  EXPECT_EQ(through[0], START);
  EXPECT_EQ(through[1], START + milliseconds(400));
  EXPECT_EQ(through[2], START + milliseconds(800));
}

TEST(LinePacer, SpacingAndBaudTogether) {
  LinePacer line(9600u);
  const auto through = line.Schedule(2, START, milliseconds(10));
  EXPECT_EQ(through[0] - START, nanoseconds(1'041'666));
  EXPECT_EQ(through[1] - START, milliseconds(10) + nanoseconds(1'041'666));
}

}  // namespace
}  // namespace vorna::sim
