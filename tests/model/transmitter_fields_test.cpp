#include "model/transmitter_fields.h"

#include <gtest/gtest.h>

#include <climits>

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
  EXPECT_EQ(f[FIELD_PL], 1) << "the fields keep the index";
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
  const char* headings[FIELD_COUNT] = {"A0[0]:Analog circuit Power enable",
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
  EXPECT_NE(std::string(HelpText(FIELD_PLT)).find("PLT=0;Pilot signal on\nPLT=1;Pilot signal off"), std::string::npos);
  EXPECT_NE(std::string(HelpText(FIELD_SUBC)).find("SUBC=0(Subcarrier ON)  + PLT=0 ;Stereo mode"), std::string::npos);
}

TEST(StoreRegisterBytes, KeepsA5A7AndTheChannel) {
  RegisterSnapshot s{{0, 0, 0, 0, 0, 0x55, 0, 0x77, 0, 42}};
  StoreRegisterBytes({1, 2, 3, 4, 5, 6, 7}, s);
  EXPECT_EQ(s, (RegisterSnapshot{{1, 2, 3, 4, 5, 0x55, 6, 0x77, 7, 42}}));
}

TEST(RegisterValue, DumpShowsWhatTheRegistersHoldWithPlAsItsRegisterValue) {
  const RegisterSnapshot snapshot = Snapshot(0xC1, 0xFC, 0x07, 0xFF, 0xFF, 0x1A, 0x1B);
  const TransmitterFields f = DecodeFields(snapshot);
  EXPECT_EQ(f[FIELD_PL], 1) << "decoded PL is the index";
  EXPECT_EQ(RegisterValue(FIELD_AG, f[FIELD_AG]), 3);
  EXPECT_EQ(RegisterValue(FIELD_PL, f[FIELD_PL]), 3);
  EXPECT_EQ(RegisterValue(FIELD_P, f[FIELD_P]), 0x3FFF) << "the two top bits of A4 are no part of P";
  EXPECT_NE(FormatRegisterDump(f).find(" AG = 3\r\n"), std::string::npos);
  EXPECT_NE(FormatRegisterDump(f).find(" PL = 3\r\n"), std::string::npos);
  EXPECT_NE(FormatRegisterDump(f).find(" P = 3fffH\r\n"), std::string::npos);
  // Encoding the decoded fields gives the registers back.
  const RegisterBytes bytes = EncodeFields(f);
  EXPECT_EQ(bytes.a2, 0x07);
  EXPECT_EQ(bytes.a3, 0xFF);
  EXPECT_EQ(bytes.a4, 0x3F);
}

// The register bytes a full write sends: the bits the fields cover and the
// bits always set, as the chip's register map has them.
struct WrittenByte {
  std::size_t position;
  std::uint8_t RegisterBytes::*sent;
  std::uint8_t covered;
  std::uint8_t fixed;
};

constexpr WrittenByte WRITTEN[] = {
    {SNAPSHOT_A0, &RegisterBytes::a0, 0xF7, 0x00}, {SNAPSHOT_A1, &RegisterBytes::a1, 0x48, 0xB4},
    {SNAPSHOT_A2, &RegisterBytes::a2, 0x07, 0x00}, {SNAPSHOT_A3, &RegisterBytes::a3, 0xFF, 0x00},
    {SNAPSHOT_A4, &RegisterBytes::a4, 0x3F, 0x00}, {SNAPSHOT_A6, &RegisterBytes::a6, 0x1E, 0x00},
    {SNAPSHOT_A8, &RegisterBytes::a8, 0x03, 0x18},
};

TEST(FieldLayout, PiecesCoverTheMappedBitsEachOnceAndEveryFieldFromItsLowestBit) {
  std::array<std::uint32_t, REGISTER_SNAPSHOT_SIZE> covered{};
  std::array<std::uint32_t, FIELD_COUNT> fieldBits{};
  for (const FieldPiece& piece : FIELD_LAYOUT) {
    ASSERT_LT(piece.field, FIELD_COUNT);
    ASSERT_LT(piece.snapshotByte, REGISTER_SNAPSHOT_SIZE);
    ASSERT_GT(piece.width, 0u);
    ASSERT_LE(piece.shift + piece.width, 8u) << FIELD_NAMES[piece.field];
    const std::uint32_t inByte = ((1U << piece.width) - 1) << piece.shift;
    const std::uint32_t inField = ((1U << piece.width) - 1) << piece.fieldShift;
    EXPECT_EQ(covered[piece.snapshotByte] & inByte, 0u) << FIELD_NAMES[piece.field];
    EXPECT_EQ(fieldBits[piece.field] & inField, 0u) << FIELD_NAMES[piece.field];
    covered[piece.snapshotByte] |= inByte;
    fieldBits[piece.field] |= inField;
  }
  for (std::size_t i = 0; i < FIELD_COUNT; ++i) {
    const std::uint32_t bits = fieldBits[i];
    EXPECT_NE(bits, 0u) << FIELD_NAMES[i];
    EXPECT_EQ(bits & (bits + 1), 0u) << FIELD_NAMES[i] << " has no gap and starts at bit 0";
  }
  EXPECT_EQ(fieldBits[FIELD_P], static_cast<std::uint32_t>(P_MAX));
  std::array<std::uint32_t, REGISTER_SNAPSHOT_SIZE> expected{};
  for (const WrittenByte& b : WRITTEN) expected[b.position] = b.covered;
  EXPECT_EQ(covered, expected) << "A5, A7 and the channel hold no field";
}

TEST(FieldCodec, DecodeThenEncodeGivesBackTheCoveredAndFixedBitsOfEveryByteValue) {
  for (const WrittenByte& varied : WRITTEN) {
    for (int value = 0; value < 256; ++value) {
      const auto byte = static_cast<std::uint8_t>(value);
      // The other bytes are all clear, all set, or the opposite of the varied
      // one, so that a bit read from or written to the wrong byte shows.
      for (const std::uint8_t others : {std::uint8_t{0x00}, std::uint8_t{0xFF}, static_cast<std::uint8_t>(~byte)}) {
        RegisterSnapshot snapshot;
        snapshot.bytes.fill(others);
        snapshot.bytes[varied.position] = byte;
        const RegisterBytes sent = EncodeFields(DecodeFields(snapshot));
        for (const WrittenByte& b : WRITTEN) {
          ASSERT_EQ(sent.*b.sent, (snapshot.bytes[b.position] & b.covered) | b.fixed)
              << "byte " << b.position << " after varying byte " << varied.position << " to " << value << ", others "
              << static_cast<int>(others);
        }
      }
    }
  }
}

TEST(FieldCodec, EveryValueAFieldsBitsHoldComesBackThroughTheRegisters) {
  for (std::size_t i = 0; i < FIELD_COUNT; ++i) {
    const auto field = static_cast<FieldIndex>(i);
    std::uint32_t bits = 0;
    for (const FieldPiece& piece : FIELD_LAYOUT)
      if (piece.field == field) bits |= ((1U << piece.width) - 1) << piece.fieldShift;
    const std::int32_t lowest = field == FIELD_PL ? -PL_REGISTER_OFFSET : 0;
    for (std::int32_t value = lowest; value <= lowest + static_cast<std::int32_t>(bits); ++value) {
      TransmitterFields fields = DefaultFields();
      fields[field] = value;
      RegisterSnapshot snapshot;
      StoreRegisterBytes(EncodeFields(fields), snapshot);
      ASSERT_EQ(DecodeFields(snapshot), fields) << FIELD_NAMES[i] << " = " << value;
      ASSERT_EQ(DecodeField(snapshot, field), value) << FIELD_NAMES[i];
      ASSERT_EQ(ReadRegisterValue(snapshot, field), RegisterValue(field, value)) << FIELD_NAMES[i];
    }
  }
}

TEST(EncodeFields, EncodingTwiceGivesTheSameBytesAndLeavesTheFields) {
  std::vector<TransmitterFields> sets = {DefaultFields(), TransmitterFields{}};
  for (const std::int32_t fill : {-1, INT_MIN, INT_MAX, 0x12345}) {
    TransmitterFields f;
    f.values.fill(fill);
    sets.push_back(f);
  }
  for (const std::int32_t pl : {-2, -1, 0, 1}) {
    TransmitterFields f = DefaultFields();
    f[FIELD_PL] = pl;
    sets.push_back(f);
  }
  for (const TransmitterFields& original : sets) {
    TransmitterFields fields = original;
    const RegisterBytes first = EncodeFields(fields);
    const std::string dump = FormatRegisterDump(fields);
    EXPECT_EQ(EncodeFields(fields), first) << dump;
    EXPECT_EQ(fields, original) << dump;
    EXPECT_EQ(FormatRegisterDump(fields), dump);
  }
}

TEST(EncodeFields, ExtremeValuesKeepTheLowBitsOfTheirThirtyTwoBitPattern) {
  TransmitterFields f;
  f.values.fill(INT_MIN);
  f[FIELD_PL] = INT_MAX;  // plus 2 wraps to 0x80000001
  const RegisterBytes r = EncodeFields(f);
  EXPECT_EQ(r, (RegisterBytes{0x00, 0xB4, 0x01, 0x00, 0x00, 0x00, 0x18}));
  EXPECT_NE(FormatRegisterDump(f).find(" PL = -2147483647\r\n"), std::string::npos) << FormatRegisterDump(f);
  f.values.fill(0x7F);
  f[FIELD_P] = 0x1234567;
  EXPECT_EQ(EncodeFields(f), (RegisterBytes{0xFF, 0xFC, 0xFD, 0x67, 0x05, 0xFE, 0x7F}));
}

}  // namespace
}  // namespace vorna
