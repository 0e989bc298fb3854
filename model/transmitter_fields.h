#pragma once
// The fourteen named register fields of the transmitter chip, their decoding
// from a snapshot, encoding into register bytes, defaults, help texts and the
// register dump text.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "link/register_snapshot.h"

namespace vorna {

// Field order: the Advanced Setting list, the help texts and the dump.
enum FieldIndex : std::size_t {
  FIELD_PE,
  FIELD_PDX,
  FIELD_MUTE,
  FIELD_EM,
  FIELD_EMS,
  FIELD_AG,
  FIELD_PLT,
  FIELD_SUBC,
  FIELD_PL,
  FIELD_ULD,
  FIELD_P,
  FIELD_CIA,
  FIELD_CIB,
  FIELD_CEX,
  FIELD_COUNT
};

// The fields' names, in field order, from the one table of the fields
// (transmitter_fields.cpp) that also holds their defaults and help texts.
extern const std::array<std::string_view, FIELD_COUNT> FIELD_NAMES;

// PL is held as an index: register value 2 (1 mW) is index 0.
inline constexpr std::int32_t PL_REGISTER_OFFSET = 2;
// P has 14 bits: A3 and the low six bits of A4.
inline constexpr std::int32_t P_MAX = 0x3FFF;

// The values as this program holds them, decoded from a snapshot or edited:
// every field as its register bits read, except PL, which is always the
// index (0 = register value 2, 1 = 3). Encoding and the dump turn it into
// the register value; nothing stores the register value here. Values are
// signed: a PL decoded from test-mode bits is -2 or -1, and P comes from a
// 32-bit "%x" conversion.
struct TransmitterFields {
  std::array<std::int32_t, FIELD_COUNT> values{};
  std::int32_t& operator[](std::size_t i) { return values[i]; }
  std::int32_t operator[](std::size_t i) const { return values[i]; }
  bool operator==(const TransmitterFields&) const = default;
};

// Where a field's bits sit: bits [shift, shift + width) of snapshot byte
// `snapshotByte` hold bits [fieldShift, fieldShift + width) of the field's
// register value. A field spread over two bytes has one piece in each.
struct FieldPiece {
  FieldIndex field;
  std::size_t snapshotByte;
  unsigned shift;
  unsigned width;
  unsigned fieldShift;
};

// The one description of the register layout, in field order: decoding
// (and so every dump of what a board holds), encoding and the Quick
// Setting's values all go through it.
inline constexpr auto FIELD_LAYOUT = std::to_array<FieldPiece>({
    {FIELD_PE, SNAPSHOT_A0, 0, 1, 0},
    {FIELD_PDX, SNAPSHOT_A0, 1, 1, 0},
    {FIELD_MUTE, SNAPSHOT_A0, 2, 1, 0},
    {FIELD_EM, SNAPSHOT_A0, 4, 1, 0},
    {FIELD_EMS, SNAPSHOT_A0, 5, 1, 0},
    {FIELD_AG, SNAPSHOT_A0, 6, 2, 0},
    {FIELD_PLT, SNAPSHOT_A1, 3, 1, 0},
    {FIELD_SUBC, SNAPSHOT_A1, 6, 1, 0},
    {FIELD_PL, SNAPSHOT_A2, 0, 2, 0},
    {FIELD_ULD, SNAPSHOT_A2, 2, 1, 0},
    {FIELD_P, SNAPSHOT_A3, 0, 8, 0},
    {FIELD_P, SNAPSHOT_A4, 0, 6, 8},
    {FIELD_CIA, SNAPSHOT_A6, 1, 2, 0},
    {FIELD_CIB, SNAPSHOT_A6, 3, 2, 0},
    {FIELD_CEX, SNAPSHOT_A8, 0, 2, 0},
});

// The register value of field `field` held as `value`: PL's index plus
// PL_REGISTER_OFFSET (on the 32-bit pattern), every other field as it is.
// This is what the dump shows and what encoding places into the bits.
std::int32_t RegisterValue(std::size_t field, std::int32_t value);

// The register value of field `field` as the snapshot's bits hold it.
std::int32_t ReadRegisterValue(const RegisterSnapshot& snapshot, FieldIndex field);

// Field `field` of a snapshot as TransmitterFields holds it.
std::int32_t DecodeField(const RegisterSnapshot& snapshot, FieldIndex field);

// The bits field `field`, held as `value`, sets in snapshot byte
// `snapshotByte` (none when the field has no bits there). Shifts are done on
// the 32-bit pattern so that negative or oversized values (test modes, a
// typed P) are well defined, and the byte keeps its low eight bits: a field
// inside one byte is placed whole, so bits beyond its width reach the bits
// above it, while a field spread over bytes (P) is cut to each piece's width.
std::uint8_t FieldBits(FieldIndex field, std::int32_t value, std::size_t snapshotByte);

// The register bytes a full write sends, A5 and A7 excepted.
struct RegisterBytes {
  std::uint8_t a0 = 0, a1 = 0, a2 = 0, a3 = 0, a4 = 0, a6 = 0, a8 = 0;
  bool operator==(const RegisterBytes&) const = default;
};

TransmitterFields DecodeFields(const RegisterSnapshot& snapshot);

// The register bytes a full write sends for `fields`: every field's bits and
// the fixed bits of A1 and A8.
[[nodiscard]] RegisterBytes EncodeFields(const TransmitterFields& fields);

// Puts the encoded bytes into a snapshot; A5, A7 and the channel keep theirs.
void StoreRegisterBytes(const RegisterBytes& registers, RegisterSnapshot& snapshot);

TransmitterFields DefaultFields();

// What a board holds after power-on when nothing was stored: the default
// fields encoded, A5 and A7 zero, and DEFAULT_CHANNEL.
RegisterSnapshot PowerOnSnapshot();

// " PE = %d\r\n PDX = %d\r\n ... P = %xH\r\n ... CEX = %d", no final line end;
// each field as its RegisterValue, so PL shows the register value (2 for
// index 0) and P every bit it holds, even beyond the fourteen written.
std::string FormatRegisterDump(const TransmitterFields& fields);

// The help text of field `index` (0..13): heading line, "\n\n", body lines.
// An index out of range gives an empty text.
std::string_view HelpText(std::size_t index);

}  // namespace vorna
