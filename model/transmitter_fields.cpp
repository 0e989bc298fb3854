#include "model/transmitter_fields.h"

#include "base/translatable.h"
#include "link/protocol.h"
#include "model/number_text.h"
#include "model/quick_settings.h"

namespace vorna {

namespace {

// Bits of A1 and A8 that a full write always sets.
constexpr std::uint8_t A1_FIXED_BITS = 0xB4;
constexpr std::uint8_t A8_FIXED_BITS = 0x18;

std::uint32_t Bits(std::int32_t value) { return static_cast<std::uint32_t>(value); }
std::uint8_t Byte(std::uint32_t value) { return static_cast<std::uint8_t>(value & 0xFF); }
constexpr std::uint32_t LowBits(unsigned width) { return (1U << width) - 1; }

constexpr bool IsSpread(FieldIndex field) {
  int pieces = 0;
  for (const FieldPiece& piece : FIELD_LAYOUT) pieces += piece.field == field ? 1 : 0;
  return pieces > 1;
}

// Each field's name, its default value (as held: PL as its index) and its
// help text: heading line, "\n\n", body lines. In field order.
struct FieldFacts {
  std::string_view name;
  std::int32_t defaultValue;
  std::string_view help;
};

constexpr std::array<FieldFacts, FIELD_COUNT> FIELDS = {{
    {"PE", 1,
     TRANSLATABLE("vorna",
                  "A0[0]:Analog circuit Power enable\n\n"
                  "Switches the analog circuits on or off.\n"
                  "PE=0;Analog circuit power off\n"
                  "PE=1;Analog circuit power on\n"
                  "PE=0 together with PDX=1 is the standby mode (a few microamperes).")},
    {"PDX", 0,
     TRANSLATABLE("vorna",
                  "A0[1]:Xtal Oscillator enable\n\n"
                  "Enables the crystal oscillator.\n"
                  "PDX=0;Xtal oscillator enabled\n"
                  "PDX=1;Xtal oscillator disabled\n"
                  "PE=1,PDX=0 is power on; PE=0,PDX=1 is standby.\n"
                  "PE=0,PDX=0 and PE=1,PDX=1 are not to be used.")},
    {"MUTE", 0,
     TRANSLATABLE("vorna",
                  "A0[2]:Muting\n\n"
                  "Mutes the audio input. Muting this way also drops the pilot,\n"
                  "so a receiver no longer recognises stereo.\n"
                  "MUTE=0;Un-muting\n"
                  "MUTE=1;Muting")},
    {"EM", 0,
     TRANSLATABLE("vorna",
                  "A0[4]:Pre-emphasis enable/disable\n\n"
                  "EM=0;Pre-emphasis on\n"
                  "EM=1;Pre-emphasis off (flat response up to 15kHz)")},
    {"EMS", 1,
     TRANSLATABLE("vorna",
                  "A0[5]:Pre-emphasis time constant selection\n\n"
                  "EMS=0;set 50uS\n"
                  "EMS=1;set 75uS")},
    {"AG", 0,
     TRANSLATABLE("vorna",
                  "A0[6:7]:Audio input level selection to reach full level deviation\n\n"
                  "Audio input level that gives full deviation:\n"
                  "AG[7:6]\n"
                  " 0 0 ;AG=0;100mVrms\n"
                  " 0 1 ;AG=1;140mVrms\n"
                  " 1 0 ;AG=2;200mVrms\n"
                  " 1 1 ;AG=3;Test mode (not to be used)")},
    {"PLT", 0,
     TRANSLATABLE("vorna",
                  "A1[3]:Pilot tone enable\n\n"
                  "PLT=0;Pilot signal on\n"
                  "PLT=1;Pilot signal off")},
    {"SUBC", 0,
     TRANSLATABLE("vorna",
                  "A1[6]:Subcarrier enable/disable\n\n"
                  "SUBC=0;Subcarrier on\n"
                  "SUBC=1;Subcarrier off\n"
                  "SUBC=0(Subcarrier ON)  + PLT=0 ;Stereo mode\n"
                  "SUBC=1(Subcarrier OFF) + PLT=1 ;Mono mode")},
    {"PL", 0,
     TRANSLATABLE("vorna",
                  "A2[0:1]:TX Output power selection\n\n"
                  "A2[1:0]\n"
                  " 0 0 ;PL=0;Test mode (not to be used)\n"
                  " 0 1 ;PL=1;Test mode (not to be used)\n"
                  " 1 0 ;PL=2;1.0mW\n"
                  " 1 1 ;PL=3;2.0mW")},
    {"ULD", 1,
     TRANSLATABLE("vorna",
                  "A2[2]:Synthesizer Unlock Detection activated\n\n"
                  "ULD=0;Unlock detection off (the carrier is radiated\n"
                  "      even while the PLL is unlocked)\n"
                  "ULD=1;Unlock detection on (output inhibited while unlocked)")},
    {"P", 0x2A58,
     TRANSLATABLE("vorna",
                  "A3[0:7]+A4[0:5]:TX Frequency generation program for the synthesizer\n\n"
                  "14-bit program value of the synthesizer, typed in hexadecimal.\n"
                  "A3 holds bits 0-7, A4 bits 0-5 hold bits 8-13.\n"
                  "Valid values: 0x100 (256) to 0x3FFF (16383).\n"
                  "The program value is for the desired frequency offset by -304kHz.\n"
                  "P=2A58;default program value")},
    {"CIA", 1,
     TRANSLATABLE("vorna",
                  "A6[1:2]:Main synthesizer Charge Pump current selecion\n\n"
                  "A6[2:1]\n"
                  " 0 0 ;CIA=0;20uA\n"
                  " 0 1 ;CIA=1;1.25uA\n"
                  " 1 0 ;CIA=2;5uA\n"
                  " 1 1 ;CIA=3;80uA")},
    {"CIB", 3,
     TRANSLATABLE("vorna",
                  "A6[3:4]:Clock generator Charge Pump current selection\n\n"
                  "A6[4:3]\n"
                  " 0 0 ;CIB=0;80uA\n"
                  " 0 1 ;CIB=1;5uA\n"
                  " 1 0 ;CIB=2;20uA\n"
                  " 1 1 ;CIB=3;320uA")},
    {"CEX", 3,
     TRANSLATABLE("vorna",
                  "A8[0:1]:Local oscillation frequency extension\n\n"
                  "Band of the local oscillator; band 0 has the highest\n"
                  "VCO gain, band 3 the lowest.\n"
                  "A8[1:0]\n"
                  " 0 0 ;CEX=0;Band0\n"
                  " 0 1 ;CEX=1;Band1\n"
                  " 1 0 ;CEX=2;Band2\n"
                  " 1 1 ;CEX=3;Band3")},
}};

}  // namespace

constinit const std::array<std::string_view, FIELD_COUNT> FIELD_NAMES = [] {
  std::array<std::string_view, FIELD_COUNT> names;
  for (std::size_t i = 0; i < FIELD_COUNT; ++i) names[i] = FIELDS[i].name;
  return names;
}();

std::int32_t RegisterValue(std::size_t field, std::int32_t value) {
  if (field != FIELD_PL) return value;
  return static_cast<std::int32_t>(Bits(value) + Bits(PL_REGISTER_OFFSET));
}

std::int32_t ReadRegisterValue(const RegisterSnapshot& snapshot, FieldIndex field) {
  std::uint32_t value = 0;
  for (const FieldPiece& piece : FIELD_LAYOUT) {
    if (piece.field != field) continue;
    value |= ((snapshot.bytes[piece.snapshotByte] >> piece.shift) & LowBits(piece.width)) << piece.fieldShift;
  }
  return static_cast<std::int32_t>(value);
}

std::int32_t DecodeField(const RegisterSnapshot& snapshot, FieldIndex field) {
  const std::int32_t value = ReadRegisterValue(snapshot, field);
  return field == FIELD_PL ? value - PL_REGISTER_OFFSET : value;
}

std::uint8_t FieldBits(FieldIndex field, std::int32_t value, std::size_t snapshotByte) {
  const std::uint32_t bits = Bits(RegisterValue(field, value));
  std::uint32_t placed = 0;
  for (const FieldPiece& piece : FIELD_LAYOUT) {
    if (piece.field != field || piece.snapshotByte != snapshotByte) continue;
    const std::uint32_t pieceBits = bits >> piece.fieldShift;
    placed |= (IsSpread(field) ? pieceBits & LowBits(piece.width) : pieceBits) << piece.shift;
  }
  return Byte(placed);
}

TransmitterFields DecodeFields(const RegisterSnapshot& snapshot) {
  TransmitterFields f;
  for (std::size_t i = 0; i < FIELD_COUNT; ++i) f[i] = DecodeField(snapshot, static_cast<FieldIndex>(i));
  return f;
}

RegisterBytes EncodeFields(const TransmitterFields& f) {
  std::array<std::uint8_t, REGISTER_SNAPSHOT_SIZE> b{};
  b[SNAPSHOT_A1] = A1_FIXED_BITS;
  b[SNAPSHOT_A8] = A8_FIXED_BITS;
  for (const FieldPiece& piece : FIELD_LAYOUT)
    b[piece.snapshotByte] |= FieldBits(piece.field, f[piece.field], piece.snapshotByte);
  return {b[SNAPSHOT_A0], b[SNAPSHOT_A1], b[SNAPSHOT_A2], b[SNAPSHOT_A3],
          b[SNAPSHOT_A4], b[SNAPSHOT_A6], b[SNAPSHOT_A8]};
}

void StoreRegisterBytes(const RegisterBytes& r, RegisterSnapshot& snapshot) {
  auto& b = snapshot.bytes;
  b[SNAPSHOT_A0] = r.a0;
  b[SNAPSHOT_A1] = r.a1;
  b[SNAPSHOT_A2] = r.a2;
  b[SNAPSHOT_A3] = r.a3;
  b[SNAPSHOT_A4] = r.a4;
  b[SNAPSHOT_A6] = r.a6;
  b[SNAPSHOT_A8] = r.a8;
}

TransmitterFields DefaultFields() {
  TransmitterFields fields;
  for (std::size_t i = 0; i < FIELD_COUNT; ++i) fields[i] = FIELDS[i].defaultValue;
  return fields;
}

RegisterSnapshot PowerOnSnapshot() {
  RegisterSnapshot snapshot;
  StoreRegisterBytes(EncodeFields(DefaultFields()), snapshot);
  snapshot.bytes[SNAPSHOT_CHANNEL] = DEFAULT_CHANNEL;
  return snapshot;
}

std::string FormatRegisterDump(const TransmitterFields& f) {
  std::string dump;
  for (std::size_t i = 0; i < FIELD_COUNT; ++i) {
    if (i != 0) dump += "\r\n";
    dump += ' ';
    dump += FIELD_NAMES[i];
    dump += " = ";
    const std::int32_t value = RegisterValue(i, f[i]);
    dump += i == FIELD_P ? HexText(Bits(value)) + "H" : DecimalText(value);
  }
  return dump;
}

std::string_view HelpText(std::size_t index) {
  if (index >= FIELDS.size()) return {};
  return FIELDS[index].help;
}

}  // namespace vorna
