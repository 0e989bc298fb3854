// The time-outs that the Windows transport hands to the serial driver. They
// are checked on every platform: the driver does the waiting there, so these
// numbers are all that decides how long a Windows read or write may take.

#include "link/serial_win32.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>

#include "link/protocol.h"

namespace vorna {
namespace {

struct ReadWaitRow {
  std::size_t bytes;
  std::uint32_t longestWaitMs;
};

class ReadWaitRows : public ::testing::TestWithParam<ReadWaitRow> {};

// The driver waits at most constant + multiplier x N for an N-byte read; the
// POSIX transport waits ReadTotalTimeoutMs(N). Both follow 100 + 100 x N.
TEST_P(ReadWaitRows, DriverWaitsAsLongAsThePosixTransport) {
  const auto row = GetParam();
  const SerialTimeouts t = PortTimeouts();
  const std::uint32_t driverWait =
      t.readTotalTimeoutConstant + t.readTotalTimeoutMultiplier * static_cast<std::uint32_t>(row.bytes);
  EXPECT_EQ(driverWait, row.longestWaitMs);
  EXPECT_EQ(static_cast<int>(driverWait), ReadTotalTimeoutMs(row.bytes));
}

INSTANTIATE_TEST_SUITE_P(ReplySizes, ReadWaitRows,
                         ::testing::Values(ReadWaitRow{1, 200}, ReadWaitRow{2, 300}, ReadWaitRow{4, 500},
                                           ReadWaitRow{5, 600}, ReadWaitRow{10, 1100}));

TEST(PortTimeouts, ReadsEndEarlyAfterHalfASecondOfSilenceBetweenBytes) {
  const SerialTimeouts t = PortTimeouts();
  EXPECT_EQ(t.readIntervalTimeout, 500u);
  // MAXDWORD here would make the driver return at once with whatever is
  // buffered, whatever the totals say.
  EXPECT_NE(t.readIntervalTimeout, 0xFFFFFFFFu);
}

TEST(PortTimeouts, AWholeChunkCanBeWrittenAtNineThousandSixHundredBaudButAStuckDeviceFails) {
  const SerialTimeouts t = PortTimeouts();
  constexpr std::uint32_t BITS_PER_BYTE = 10;  // start, 8 data, stop
  constexpr std::uint32_t SLOW_BAUD = 9600;
  const std::uint32_t chunkMs =
      (static_cast<std::uint32_t>(DOWNLOAD_CHUNK_SIZE) * BITS_PER_BYTE * 1000 + SLOW_BAUD - 1) / SLOW_BAUD;
  const std::uint32_t budget =
      t.writeTotalTimeoutConstant + t.writeTotalTimeoutMultiplier * static_cast<std::uint32_t>(DOWNLOAD_CHUNK_SIZE);
  EXPECT_GE(budget, chunkMs);
  // Both write fields zero would mean no write time-out at all.
  EXPECT_GT(t.writeTotalTimeoutConstant + t.writeTotalTimeoutMultiplier, 0u);
  EXPECT_EQ(t.writeTotalTimeoutConstant, static_cast<std::uint32_t>(WRITE_TIMEOUT_MS));
}

}  // namespace
}  // namespace vorna
