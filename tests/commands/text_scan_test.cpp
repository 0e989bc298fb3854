#include "commands/text_scan.h"

#include <gtest/gtest.h>

namespace vorna {
namespace {

struct HexRow {
  const char* text;
  std::optional<std::int32_t> value;
};

class HexRows : public ::testing::TestWithParam<HexRow> {};

TEST_P(HexRows, ReadsLikePercentX) {
  EXPECT_EQ(ScanHex(GetParam().text), GetParam().value) << '"' << GetParam().text << '"';
}

INSTANTIATE_TEST_SUITE_P(Rows, HexRows,
                         ::testing::Values(HexRow{"1F40", 0x1F40}, HexRow{"0x1f40", 0x1F40}, HexRow{" 1f40", 0x1F40},
                                           HexRow{"1f40k", 0x1F40}, HexRow{"0X1F40", 0x1F40}, HexRow{"2a58", 0x2A58},
                                           HexRow{"g12", std::nullopt}, HexRow{"", std::nullopt},
                                           HexRow{"   ", std::nullopt}, HexRow{"-", std::nullopt},
                                           HexRow{"x1", std::nullopt}, HexRow{"-1", -1}, HexRow{"+10", 0x10},
                                           HexRow{"-0x10", -16}, HexRow{"123456789", 0x23456789},
                                           HexRow{"ffffffff", -1}, HexRow{"0x", 0}, HexRow{"0xg", 0},
                                           HexRow{"12345", 0x12345}, HexRow{"\t0x7", 7}));

struct DecimalRow {
  const char* text;
  std::optional<std::int32_t> value;
};

class DecimalRows : public ::testing::TestWithParam<DecimalRow> {};

TEST_P(DecimalRows, ReadsLikePercentDWithinThirtyTwoBits) {
  EXPECT_EQ(ScanDecimal(GetParam().text), GetParam().value) << '"' << GetParam().text << '"';
}

INSTANTIATE_TEST_SUITE_P(Rows, DecimalRows,
                         ::testing::Values(DecimalRow{"7abc", 7}, DecimalRow{"  12", 12},
                                           DecimalRow{"abc", std::nullopt}, DecimalRow{"-2", -2}, DecimalRow{"+0", 0},
                                           DecimalRow{"--1", std::nullopt}, DecimalRow{"2147483647", 2147483647},
                                           DecimalRow{"-2147483648", -2147483647 - 1},
                                           DecimalRow{"2147483648", std::nullopt},
                                           DecimalRow{"-2147483649", std::nullopt},
                                           DecimalRow{"000000000000000000012", 12}, DecimalRow{"1e5", 1}));

}  // namespace
}  // namespace vorna
