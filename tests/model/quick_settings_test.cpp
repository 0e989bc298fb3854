#include "model/quick_settings.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "model/transmitter_fields.h"

namespace vorna {
namespace {

TEST(FrequencyChannel, ListedChannelsAndFrequencies) {
  EXPECT_EQ(ChannelToFrequency(0), 87.5);
  EXPECT_EQ(ChannelToFrequency(205), 108.0);
  EXPECT_EQ(ChannelToFrequency(6), 6 * 0.1 + 87.5);
  EXPECT_EQ(FrequencyToChannel(88.1), 6);
  EXPECT_EQ(FrequencyToChannel(108.0), 205);
  EXPECT_EQ(FrequencyToChannel(87.5), 0);
}

TEST(FrequencyChannel, EveryChannelGoesToItsFrequencyAndBack) {
  for (int channel = 0; channel <= MAX_CHANNEL; ++channel) {
    const double mhz = ChannelToFrequency(static_cast<FrequencyChannel>(channel));
    EXPECT_EQ(FrequencyToChannel(mhz), channel) << mhz;
  }
}

TEST(FrequencyChannel, EveryFrequencyTheQuickSettingFormsMapsToItsChannel) {
  // The dialog forms digit * 0.1 + whole MHz; 87 offers digits 5-9, 108 only 0.
  for (int mhz = 87; mhz <= 108; ++mhz) {
    const int first = mhz == 87 ? 5 : 0;
    const int last = mhz == 108 ? 0 : 9;
    for (int digit = first; digit <= last; ++digit) {
      const double frequency = digit * 0.1 + mhz;
      EXPECT_EQ(FrequencyToChannel(frequency), mhz * 10 + digit - 875) << mhz << "." << digit;
    }
  }
}

TEST(FrequencyChannel, OutOfRangeValuesWrapToAByteWithoutUndefinedBehaviour) {
  EXPECT_EQ(FrequencyToChannel(113.0), 255);
  EXPECT_EQ(FrequencyToChannel(113.1), 0);
  EXPECT_EQ(FrequencyToChannel(86.0), static_cast<FrequencyChannel>(-15));
  EXPECT_EQ(FrequencyToChannel(std::numeric_limits<double>::quiet_NaN()), 0);
  EXPECT_EQ(FrequencyToChannel(1e300), 0);
}

TEST(ClampFrequency, Boundaries) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const std::pair<double, double> rows[] = {{87.4, 87.5}, {87.5, 87.5},   {nan, 87.5},    {-1e9, 87.5},  {86.9, 87.5},
                                            {95.3, 95.3}, {108.0, 108.0}, {108.1, 108.0}, {1e300, 108.0}};
  for (const auto& [in, out] : rows) EXPECT_EQ(ClampFrequency(in), out) << in;
}

TEST(QuickFromSnapshot, IndicesFromA0AndA2AndFrequencyFromTheChannel) {
  const auto s = QuickFromSnapshot(RegisterSnapshot{{0xB1, 0xB4, 0x07, 0, 0, 0, 0, 0, 0, 6}});
  EXPECT_EQ(s.preEmphasisIndex, 1);
  EXPECT_EQ(s.timeConstantIndex, 1);
  EXPECT_EQ(s.audioLevelIndex, 2);
  EXPECT_EQ(s.powerIndex, 1);
  EXPECT_EQ(FrequencyToChannel(s.frequency), 6);
  EXPECT_FALSE(s.storeAsDefault);
}

TEST(QuickFromSnapshot, TestModesGiveIndicesOutsideTheTables) {
  EXPECT_EQ(QuickFromSnapshot(RegisterSnapshot{{0xC1, 0, 0x00}}).powerIndex, -2);
  EXPECT_EQ(QuickFromSnapshot(RegisterSnapshot{{0xC1, 0, 0x01}}).powerIndex, -1);
  EXPECT_EQ(QuickFromSnapshot(RegisterSnapshot{{0xC1, 0, 0x01}}).audioLevelIndex, 3);
}

QuickSettings Settings(double f, int power, int level, int pre, int tc) {
  QuickSettings s;
  s.frequency = f;
  s.powerIndex = power;
  s.audioLevelIndex = level;
  s.preEmphasisIndex = pre;
  s.timeConstantIndex = tc;
  return s;
}

TEST(FormatQuickSummary, ExactText) {
  EXPECT_EQ(FormatQuickSummary(Settings(88.1, 1, 2, 0, 1)),
            " Transmission Freq.\r\n    88.1 MHz\r\n Output Power\r\n    2 mW\r\n Audio Input Level\r\n"
            "    200 mVrms\r\n Pre-emphasis\r\n    On\r\n Pre-emphasis Time Constant\r\n    75 usec");
}

TEST(FormatQuickSummary, IndicesOutsideTheTablesDescribeWhatIsWritten) {
  const struct {
    QuickSettings settings;
    const char* power;
    const char* level;
  } rows[] = {
      {Settings(87.5, -2, 0, 0, 0), "    test mode (PL=0)\r\n", "    100 mVrms\r\n"},
      {Settings(87.5, -1, 3, 0, 0), "    test mode (PL=1)\r\n", "    test mode (AG=3)\r\n"},
      {Settings(87.5, 0, -1, 0, 0), "    1 mW\r\n", "    test mode (AG=3)\r\n"},
  };
  for (const auto& row : rows) {
    const auto text = FormatQuickSummary(row.settings);
    EXPECT_NE(text.find(row.power), std::string::npos) << text;
    EXPECT_NE(text.find(row.level), std::string::npos) << text;
  }
  const auto odd = FormatQuickSummary(Settings(87.5, 0, 0, 7, -9));
  EXPECT_NE(odd.find("Pre-emphasis\r\n    O"), std::string::npos) << odd;
  EXPECT_NE(odd.find("usec"), std::string::npos) << odd;
}

TEST(QuickRegisters, ValuesForListedAndOutOfTableIndices) {
  EXPECT_EQ(QuickA0(Settings(0, 0, 2, 1, 0)), 0x91);
  EXPECT_EQ(QuickA0(Settings(0, 0, -1, 0, 0)), 0xC1);  // both AG bits
  EXPECT_EQ(QuickA2(Settings(0, -1, 0, 0, 0)), 0x05);  // PL bits 01
  EXPECT_EQ(QuickA2(Settings(0, 1, 0, 0, 0)), 0x07);
}

TEST(QuickFromSnapshot, IndicesAreTheDecodedFieldsForEveryA0AndA2) {
  for (int a0 = 0; a0 < 256; ++a0) {
    for (int a2 = 0; a2 < 256; ++a2) {
      RegisterSnapshot snapshot;
      snapshot.bytes.fill(0xFF);
      snapshot.bytes[SNAPSHOT_A0] = static_cast<std::uint8_t>(a0);
      snapshot.bytes[SNAPSHOT_A2] = static_cast<std::uint8_t>(a2);
      const QuickSettings s = QuickFromSnapshot(snapshot);
      const TransmitterFields f = DecodeFields(snapshot);
      ASSERT_EQ(s.powerIndex, f[FIELD_PL]) << a2;
      ASSERT_EQ(s.audioLevelIndex, f[FIELD_AG]) << a0;
      ASSERT_EQ(s.preEmphasisIndex, f[FIELD_EM]) << a0;
      ASSERT_EQ(s.timeConstantIndex, f[FIELD_EMS]) << a0;
      // Written back, the values read keep their bits; the analog circuit is
      // switched on un-muted and unlock detection on.
      ASSERT_EQ(QuickA0(s), (a0 & 0xF0) | 0x01) << a0;
      ASSERT_EQ(QuickA2(s), (a2 & 0x03) | 0x04) << a2;
    }
  }
}

TEST(QuickRegisters, SameBytesAsAFullWriteOfTheSameFields) {
  // Out-of-table and negative indices included: both go through one layout.
  for (std::int32_t power = -4; power <= 4; ++power) {
    for (std::int32_t level = -4; level <= 4; ++level) {
      for (std::int32_t emphasis = -2; emphasis <= 2; ++emphasis) {
        for (std::int32_t constant = -2; constant <= 2; ++constant) {
          const QuickSettings s = Settings(98.0, power, level, emphasis, constant);
          TransmitterFields f;
          f[FIELD_PE] = 1;
          f[FIELD_EM] = emphasis;
          f[FIELD_EMS] = constant;
          f[FIELD_AG] = level;
          f[FIELD_PL] = power;
          f[FIELD_ULD] = 1;
          const RegisterBytes full = EncodeFields(f);
          ASSERT_EQ(QuickA0(s), full.a0) << level << " " << emphasis << " " << constant;
          ASSERT_EQ(QuickA2(s), full.a2) << power;
        }
      }
    }
  }
}

}  // namespace
}  // namespace vorna
