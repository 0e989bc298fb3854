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
  FIELD_PE, FIELD_PDX, FIELD_MUTE, FIELD_EM, FIELD_EMS, FIELD_AG, FIELD_PLT,
  FIELD_SUBC, FIELD_PL, FIELD_ULD, FIELD_P, FIELD_CIA, FIELD_CIB, FIELD_CEX,
  FIELD_COUNT
};

inline constexpr std::array<std::string_view, FIELD_COUNT> FIELD_NAMES = {
    "PE", "PDX", "MUTE", "EM", "EMS", "AG", "PLT", "SUBC", "PL", "ULD", "P", "CIA", "CIB", "CEX"};

// PL is held as an index: register value 2 (1 mW) is index 0.
inline constexpr std::int32_t PL_REGISTER_OFFSET = 2;
// P has 14 bits: A3 and the low six bits of A4.
inline constexpr std::int32_t P_MAX = 0x3FFF;

// Values are signed: a PL decoded from test-mode bits is -2 or -1, and P
// comes from a 32-bit "%x" conversion. Before encoding PL is an index
// (0 = register value 2, 1 = 3); after EncodeFields it is the register value.
struct TransmitterFields {
  std::array<std::int32_t, FIELD_COUNT> values{};
  std::int32_t& operator[](std::size_t i) { return values[i]; }
  std::int32_t operator[](std::size_t i) const { return values[i]; }
  bool operator==(const TransmitterFields&) const = default;
};

// The register bytes a full write sends, A5 and A7 excepted.
struct RegisterBytes {
  std::uint8_t a0 = 0, a1 = 0, a2 = 0, a3 = 0, a4 = 0, a6 = 0, a8 = 0;
  bool operator==(const RegisterBytes&) const = default;
};

TransmitterFields DecodeFields(const RegisterSnapshot& snapshot);

// Computes the register bytes and turns the PL index in `fields` into its
// register value (PL + 2), which is what the dump then shows.
RegisterBytes EncodeFields(TransmitterFields& fields);

// Puts the encoded bytes into a snapshot; A5, A7 and the channel keep theirs.
void StoreRegisterBytes(const RegisterBytes& registers, RegisterSnapshot& snapshot);

TransmitterFields DefaultFields();

// What a board holds after power-on when nothing was stored: the default
// fields encoded, A5 and A7 zero, and DEFAULT_CHANNEL.
RegisterSnapshot PowerOnSnapshot();

// The fields a snapshot's registers hold as the dump shows them: decoded,
// with PL as its register value.
TransmitterFields DumpFields(const RegisterSnapshot& snapshot);

// " PE = %d\r\n PDX = %d\r\n ... P = %xH\r\n ... CEX = %d", no final line end.
std::string FormatRegisterDump(const TransmitterFields& fields);

// The help text of field `index` (0..13): heading line, "\n\n", body lines.
// An index out of range gives an empty text.
std::string_view HelpText(std::size_t index);

}  // namespace vorna
