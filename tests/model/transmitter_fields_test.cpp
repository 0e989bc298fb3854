#include "model/transmitter_fields.h"

#include <gtest/gtest.h>


namespace vorna {
namespace {

RegisterSnapshot Snapshot(std::uint8_t a0, std::uint8_t a1, std::uint8_t a2, std::uint8_t a3, std::uint8_t a4,
                          std::uint8_t a6, std::uint8_t a8) {
  return RegisterSnapshot{{a0, a1, a2, a3, a4, 0x55, a6, 0x77, a8, 9}};
}

TEST(DecodeFields, A0BitsSplitIntoTheirFields) {
  const auto f = DecodeFields(Snapshot(0x71, 0, 0, 0, 0, 0, 0));
  EXPECT_EQ(f[FIELD_PE], 1);
  EXPECT_EQ(f[FIELD_PDX], 0);
  EXPECT_EQ(f[FIELD_MUTE], 0);
  EXPECT_EQ(f[FIELD_EM], 1);
  EXPECT_EQ(f[FIELD_EMS], 1);
  EXPECT_EQ(f[FIELD_AG], 1);
}

TEST(DecodeFields, ProgramIgnoresTheTopBitsOfA4) {
  EXPECT_EQ(DecodeFields(Snapshot(0, 0, 0, 0x58, 0xEA, 0, 0))[FIELD_P], 0x2A58);
}

TEST(DecodeFields, TestModeValuesAreCarriedAsTheyAre) {
  const auto f = DecodeFields(Snapshot(0xC0, 0, 0x00, 0, 0, 0, 0));
  EXPECT_EQ(f[FIELD_AG], 3);
  EXPECT_EQ(f[FIELD_PL], -2);
  EXPECT_EQ(DecodeFields(Snapshot(0, 0, 0x01, 0, 0, 0, 0))[FIELD_PL], -1);
}

TEST(DecodeFields, EveryFieldReadsFromItsOwnBits) {
  const auto f = DecodeFields(Snapshot(0xFF, 0x48, 0x07, 0xFF, 0xFF, 0x1E, 0x03));
  const TransmitterFields expected{{1, 1, 1, 1, 1, 3, 1, 1, 1, 1, 0x3FFF, 3, 3, 3}};
  EXPECT_EQ(f, expected);
}

TEST(EncodeFields, DefaultsGiveTheDocumentedRegisterBytes) {
  auto f = DefaultFields();
  const RegisterBytes expected{0x21, 0xB4, 0x06, 0x58, 0x2A, 0x1A, 0x1B};
  EXPECT_EQ(EncodeFields(f), expected);
}

TEST(PowerOnSnapshot, IsTheDocumentedBytes) {
  const RegisterSnapshot expected{{0x21, 0xB4, 0x06, 0x58, 0x2A, 0x00, 0x1A, 0x00, 0x1B, 0x06}};
  EXPECT_EQ(PowerOnSnapshot(), expected);
}

TEST(EncodeFields, TypedProgramBeyondFourteenBitsKeepsItsLowBitsAndItsDumpValue) {
  auto f = DefaultFields();
  f[FIELD_P] = 0x12345;
  const auto r = EncodeFields(f);
  EXPECT_EQ(r.a3, 0x45);
  EXPECT_EQ(r.a4, 0x23);
  EXPECT_NE(FormatRegisterDump(f).find(" P = 12345H\r\n"), std::string::npos);
}

TEST(EncodeFields, PowerIndexBecomesItsRegisterValue) {
  auto f = DefaultFields();
  f[FIELD_PL] = 1;
  EXPECT_EQ(EncodeFields(f).a2 & 3, 3);
  EXPECT_EQ(f[FIELD_PL], 3);
  EXPECT_NE(FormatRegisterDump(f).find(" PL = 3\r\n"), std::string::npos);
}

TEST(EncodeFields, DecodeThenEncodeRestoresEveryWrittenBit) {
  // Bits the chip uses survive a round trip; fixed bits are forced.
  for (int a0 : {0x00, 0x21, 0x71, 0xB1, 0xF7}) {
    const auto snapshot = Snapshot(static_cast<std::uint8_t>(a0), 0x48, 0x05, 0x12, 0x3F, 0x1E, 0x02);
    auto f = DecodeFields(snapshot);
    const auto r = EncodeFields(f);
    EXPECT_EQ(r.a0, a0 & ~0x08) << a0;
    EXPECT_EQ(r.a1, 0xB4 | 0x48);
    EXPECT_EQ(r.a2, 0x05);
    EXPECT_EQ(r.a3, 0x12);
    EXPECT_EQ(r.a4, 0x3F);
    EXPECT_EQ(r.a6, 0x1E);
    EXPECT_EQ(r.a8, 0x1A);
  }
}

TEST(EncodeFields, NegativeAndOversizedValuesAreWellDefinedBytes) {
  TransmitterFields f;
  f.values.fill(-1);
  const auto r = EncodeFields(f);
  EXPECT_EQ(r.a0, 0xFF);
  EXPECT_EQ(r.a2, 0xFD);  // PL -1 + 2 = 1, then every ULD bit from bit 2 up
  EXPECT_EQ(r.a3, 0xFF);
  EXPECT_EQ(r.a4, 0x3F);
  EXPECT_EQ(r.a8, 0xFF);
}

TEST(FormatRegisterDump, ExactTextWithoutFinalLineEnd) {
  auto f = DefaultFields();
  EncodeFields(f);
  EXPECT_EQ(FormatRegisterDump(f),
            " PE = 1\r\n PDX = 0\r\n MUTE = 0\r\n EM = 0\r\n EMS = 1\r\n AG = 0\r\n PLT = 0\r\n SUBC = 0\r\n"
            " PL = 2\r\n ULD = 1\r\n P = 2a58H\r\n CIA = 1\r\n CIB = 3\r\n CEX = 3");
}

TEST(FormatRegisterDump, NegativeProgramPrintsItsThirtyTwoBitPattern) {
  TransmitterFields f;
  f[FIELD_P] = -1;
  EXPECT_NE(FormatRegisterDump(f).find(" P = ffffffffH\r\n"), std::string::npos);
}

TEST(HelpText, HeadingsAndBodiesForEveryField) {
  const char* headings[FIELD_COUNT] = {
      "A0[0]:Analog circuit Power enable",
      "A0[1]:Xtal Oscillator enable",
      "A0[2]:Muting",
      "A0[4]:Pre-emphasis enable/disable",
      "A0[5]:Pre-emphasis time constant selection",
      "A0[6:7]:Audio input level selection to reach full level deviation",
      "A1[3]:Pilot tone enable",
      "A1[6]:Subcarrier enable/disable",
      "A2[0:1]:TX Output power selection",
      "A2[2]:Synthesizer Unlock Detection activated",
      "A3[0:7]+A4[0:5]:TX Frequency generation program for the synthesizer",
      "A6[1:2]:Main synthesizer Charge Pump current selecion",
      "A6[3:4]:Clock generator Charge Pump current selection",
      "A8[0:1]:Local oscillation frequency extension"};
  for (std::size_t i = 0; i < FIELD_COUNT; ++i) {
    const std::string text(HelpText(i));
    EXPECT_EQ(text.substr(0, text.find('\n')), headings[i]) << i;
    EXPECT_EQ(text.substr(std::string(headings[i]).size(), 2), "\n\n") << i;
    EXPECT_NE(text.find(std::string(FIELD_NAMES[i]) + "="), std::string::npos) << "body names its field " << i;
  }
  EXPECT_TRUE(HelpText(FIELD_COUNT).empty());
}

TEST(HelpText, QuotedBodyLines) {
  const std::string mute(HelpText(FIELD_MUTE));
  const std::string lastLines = "MUTE=0;Un-muting\nMUTE=1;Muting";
  EXPECT_EQ(mute.substr(mute.size() - lastLines.size()), lastLines);
  EXPECT_NE(std::string(HelpText(FIELD_EMS)).find("EMS=0;set 50uS\nEMS=1;set 75uS"), std::string::npos);
  EXPECT_NE(std::string(HelpText(FIELD_PLT)).find("PLT=0;Pilot signal on\nPLT=1;Pilot signal off"),
            std::string::npos);
  EXPECT_NE(std::string(HelpText(FIELD_SUBC)).find("SUBC=0(Subcarrier ON)  + PLT=0 ;Stereo mode"),
            std::string::npos);
}

TEST(StoreRegisterBytes, KeepsA5A7AndTheChannel) {
  RegisterSnapshot s{{0, 0, 0, 0, 0, 0x55, 0, 0x77, 0, 42}};
  StoreRegisterBytes({1, 2, 3, 4, 5, 6, 7}, s);
  EXPECT_EQ(s, (RegisterSnapshot{{1, 2, 3, 4, 5, 0x55, 6, 0x77, 7, 42}}));
}

TEST(DumpFields, ShowWhatTheRegistersHoldWithPlAsItsRegisterValue) {
  const RegisterSnapshot snapshot = Snapshot(0xC1, 0xFC, 0x07, 0xFF, 0xFF, 0x1A, 0x1B);
  const TransmitterFields f = DumpFields(snapshot);
  EXPECT_EQ(f[FIELD_AG], 3);
  EXPECT_EQ(f[FIELD_PL], 3);
  EXPECT_EQ(f[FIELD_P], 0x3FFF) << "the two top bits of A4 are no part of P";
  EXPECT_NE(FormatRegisterDump(f).find(" P = 3fffH\r\n"), std::string::npos);
  // Encoding the dumped fields again gives the registers back.
  TransmitterFields again = DecodeFields(snapshot);
  const RegisterBytes bytes = EncodeFields(again);
  EXPECT_EQ(bytes.a3, 0xFF);
  EXPECT_EQ(bytes.a4, 0x3F);
  EXPECT_EQ(again, f);
}

}  // namespace
}  // namespace vorna
