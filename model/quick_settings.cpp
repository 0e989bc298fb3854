#include "model/quick_settings.h"

#include <cmath>
#include <cstdint>
#include <iterator>

#include "link/protocol.h"
#include "model/number_text.h"
#include "model/transmitter_fields.h"

namespace vorna {

namespace {

constexpr double CHANNEL_STEP_MHZ = 0.1;
constexpr double TENTHS_PER_MHZ = 10.0;
constexpr std::int64_t CHANNEL_ZERO_TENTHS = 875;  // 87.5 MHz
// A Quick Setting always powers the analog circuit (PE 1) with the crystal
// oscillator on (PDX 0) and un-muted (MUTE 0), and turns unlock detection on.
constexpr std::uint8_t QUICK_A0_FIXED_BITS = 0x01;
constexpr std::uint8_t QUICK_A2_ULD_BIT = 0x04;

template <typename Table>
bool InTable(const Table& table, std::int32_t index) {
  return index >= 0 && static_cast<std::size_t>(index) < std::size(table);
}

// The register value of `field` in what a Quick Setting writes.
std::int32_t Written(const QuickSettings& s, FieldIndex field) {
  RegisterSnapshot written;
  written.bytes[SNAPSHOT_A0] = QuickA0(s);
  written.bytes[SNAPSHOT_A2] = QuickA2(s);
  return ReadRegisterValue(written, field);
}

// What the summary shows for each value: the table entry, or for an index
// outside the table the register bits it actually writes.
std::string PowerText(const QuickSettings& s) {
  if (InTable(OUTPUT_POWER_MW, s.powerIndex)) return DecimalText(OUTPUT_POWER_MW[s.powerIndex]) + " mW";
  return "test mode (PL=" + DecimalText(Written(s, FIELD_PL)) + ")";
}

std::string AudioLevelText(const QuickSettings& s) {
  if (InTable(AUDIO_LEVEL_MVRMS, s.audioLevelIndex))
    return DecimalText(AUDIO_LEVEL_MVRMS[s.audioLevelIndex]) + " mVrms";
  return "test mode (AG=" + DecimalText(Written(s, FIELD_AG)) + ")";
}

std::string PreEmphasisText(const QuickSettings& s) {
  if (InTable(PRE_EMPHASIS_TEXT, s.preEmphasisIndex)) return PRE_EMPHASIS_TEXT[s.preEmphasisIndex];
  return Written(s, FIELD_EM) != 0 ? TRANSLATABLE("vorna", "Off (EM=1)") : TRANSLATABLE("vorna", "On (EM=0)");
}

std::string TimeConstantText(const QuickSettings& s) {
  if (InTable(TIME_CONSTANT_US, s.timeConstantIndex))
    return DecimalText(TIME_CONSTANT_US[s.timeConstantIndex]) + " usec";
  return DecimalText(TIME_CONSTANT_US[Written(s, FIELD_EMS)]) + " usec (EMS)";
}

}  // namespace

double ChannelToFrequency(FrequencyChannel channel) {
  const double steps = static_cast<double>(channel) * CHANNEL_STEP_MHZ;
  return steps + MIN_FREQUENCY_MHZ;
}

FrequencyChannel FrequencyToChannel(double frequency) {
  // The product must be rounded to double before it is truncated: 88.1 * 10
  // is 881 in double precision but 880.99... in a wider format.
  const volatile double tenths = frequency * TENTHS_PER_MHZ;
  const double whole = std::trunc(tenths);
  // Anything that is no sensible frequency (NaN, huge) would overflow the
  // integer conversion; it maps to channel 0 instead, callers clamp first.
  const bool representable = std::isfinite(whole) && std::fabs(whole) < 1e15;
  const std::int64_t value = representable ? static_cast<std::int64_t>(whole) : CHANNEL_ZERO_TENTHS;
  return static_cast<FrequencyChannel>(static_cast<std::uint64_t>(value - CHANNEL_ZERO_TENTHS) & 0xFF);
}

QuickSettings QuickFromSnapshot(const RegisterSnapshot& snapshot) {
  QuickSettings s;
  s.powerIndex = DecodeField(snapshot, FIELD_PL);
  s.preEmphasisIndex = DecodeField(snapshot, FIELD_EM);
  s.audioLevelIndex = DecodeField(snapshot, FIELD_AG);
  s.timeConstantIndex = DecodeField(snapshot, FIELD_EMS);
  s.frequency = ChannelToFrequency(snapshot.bytes[SNAPSHOT_CHANNEL]);
  s.storeAsDefault = false;
  return s;
}

double ClampFrequency(double frequency) {
  if (!(frequency >= MIN_FREQUENCY_MHZ)) return MIN_FREQUENCY_MHZ;
  if (frequency > MAX_FREQUENCY_MHZ) return MAX_FREQUENCY_MHZ;
  return frequency;
}

std::uint8_t QuickA0(const QuickSettings& s) {
  return static_cast<std::uint8_t>(QUICK_A0_FIXED_BITS | FieldBits(FIELD_EM, s.preEmphasisIndex, SNAPSHOT_A0) |
                                   FieldBits(FIELD_EMS, s.timeConstantIndex, SNAPSHOT_A0) |
                                   FieldBits(FIELD_AG, s.audioLevelIndex, SNAPSHOT_A0));
}

std::uint8_t QuickA2(const QuickSettings& s) {
  return static_cast<std::uint8_t>(FieldBits(FIELD_PL, s.powerIndex, SNAPSHOT_A2) | QUICK_A2_ULD_BIT);
}

std::string FormatQuickSummary(const QuickSettings& s) {
  return " Transmission Freq.\r\n    " + FixedText(s.frequency, 1) + " MHz\r\n Output Power\r\n    " + PowerText(s) +
         "\r\n Audio Input Level\r\n    " + AudioLevelText(s) + "\r\n Pre-emphasis\r\n    " + PreEmphasisText(s) +
         "\r\n Pre-emphasis Time Constant\r\n    " + TimeConstantText(s);
}

}  // namespace vorna
