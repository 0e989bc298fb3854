// The texts the system formats and the numbers it reads keep their one form
// under a desktop locale that writes a decimal comma.

#include <gtest/gtest.h>

#include <string>

#include "app/settings/settings_file.h"
#include "commands/advanced_dialog_state.h"
#include "commands/commands.h"
#include "commands/text_scan.h"
#include "model/number_text.h"
#include "model/quick_settings.h"
#include "model/transmitter_fields.h"
#include "support/comma_locale.h"
#include "support/temp_folder.h"

namespace vorna::test {
namespace {

class CommaLocale : public CommaLocaleTest {};

TEST_F(CommaLocale, NumberTextsKeepThePointAndHaveNoGrouping) {
  EXPECT_EQ(FixedText(88.1, 1), "88.1");
  EXPECT_EQ(FixedText(108.0, 1), "108.0");
  EXPECT_EQ(FixedText(0.05, 1), "0.1");
  EXPECT_EQ(FixedText(-1234567.25, 2), "-1234567.25");
  EXPECT_EQ(DecimalText(1234567), "1234567");
  EXPECT_EQ(DecimalText(-2147483648LL), "-2147483648");
  EXPECT_EQ(HexText(0x2A58), "2a58");
  EXPECT_EQ(HexText(0xFFFFFFFFu), "ffffffff");
}

TEST_F(CommaLocale, QuickSummaryShowsTheFrequencyWithAPoint) {
  QuickSettings s;
  s.frequency = ChannelToFrequency(6);
  s.powerIndex = 1;
  s.audioLevelIndex = 2;
  s.preEmphasisIndex = 0;
  s.timeConstantIndex = 1;
  EXPECT_EQ(FormatQuickSummary(s),
            " Transmission Freq.\r\n    88.1 MHz\r\n Output Power\r\n    2 mW\r\n Audio Input Level\r\n"
            "    200 mVrms\r\n Pre-emphasis\r\n    On\r\n Pre-emphasis Time Constant\r\n    75 usec");
}

TEST_F(CommaLocale, RegisterDumpAndHexBoxKeepTheirForm) {
  TransmitterFields f = DefaultFields();
  f[FIELD_P] = 0x12AB;
  EXPECT_EQ(FormatRegisterDump(f),
            " PE = 1\r\n PDX = 0\r\n MUTE = 0\r\n EM = 0\r\n EMS = 1\r\n AG = 0\r\n PLT = 0\r\n SUBC = 0\r\n"
            " PL = 2\r\n ULD = 1\r\n P = 12abH\r\n CIA = 1\r\n CIB = 3\r\n CEX = 3");
  AdvancedState state = OpenAdvancedState(DefaultFields());
  SelectField(state, FIELD_P);
  EXPECT_EQ(state.hexText, "2a58");
}

TEST_F(CommaLocale, ComPortNumbersReadAndWriteAsDecimal) {
  EXPECT_EQ(ComPortText(-12345), "-12345");
  std::int32_t port = 1;
  ApplyComPortText(port, " 1234567");
  EXPECT_EQ(port, 1234567);
  EXPECT_EQ(ScanDecimal("1.234"), 1);
  EXPECT_EQ(ScanHex("0x1f40"), 0x1F40);
}

TEST_F(CommaLocale, SettingsFileNumbersRoundTrip) {
  const TempFolder folder;
  const std::string path = folder.File("vorna.ini");
  ASSERT_TRUE(WriteProfileString(path, "SETTING", "COM", ComPortText(1234567)));
  EXPECT_EQ(ReadProfileString(path, "SETTING", "COM", ""), "1234567");
  EXPECT_EQ(ReadProfileInt(path, "SETTING", "COM", 1), 1234567);
}

}  // namespace
}  // namespace vorna::test
