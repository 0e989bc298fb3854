#pragma once
// The five everyday values (frequency, output power, audio input level,
// pre-emphasis, time constant), the frequency channel arithmetic, and their
// summary text.

#include <cstddef>
#include <cstdint>
#include <string>
#include <type_traits>
#include <vector>

#include "base/translatable.h"
#include "link/register_snapshot.h"

namespace vorna {

inline constexpr double MIN_FREQUENCY_MHZ = 87.5;
inline constexpr double MAX_FREQUENCY_MHZ = 108.0;
inline constexpr int MAX_CHANNEL = 205;
// The channel a board holds when nothing was stored: 88.1 MHz.
inline constexpr std::uint8_t DEFAULT_CHANNEL = 6;

// Display tables, indexed by the QuickSettings indices.
inline constexpr int OUTPUT_POWER_MW[] = {1, 2};
inline constexpr int AUDIO_LEVEL_MVRMS[] = {100, 140, 200};
inline constexpr const char* PRE_EMPHASIS_TEXT[] = {TRANSLATABLE("vorna", "On"), TRANSLATABLE("vorna", "Off")};
inline constexpr int TIME_CONSTANT_US[] = {50, 75};

// The texts of a display table, in index order: what a list of that value
// offers.
template <typename T, std::size_t N>
std::vector<std::string> DisplayItems(const T (&table)[N]) {
  std::vector<std::string> items;
  for (const T& value : table) {
    if constexpr (std::is_arithmetic_v<T>) {
      items.push_back(std::to_string(value));
    } else {
      items.emplace_back(value);
    }
  }
  return items;
}

// The indices are the fields PL, AG, EM and EMS as TransmitterFields holds
// them, read and written through FIELD_LAYOUT; a test-mode setting on the
// board gives an index outside its display table.
struct QuickSettings {
  double frequency = MIN_FREQUENCY_MHZ;  // MHz
  std::int32_t powerIndex = -1;          // 0 = 1 mW, 1 = 2 mW
  std::int32_t audioLevelIndex = -1;     // 0 = 100, 1 = 140, 2 = 200 mVrms
  std::int32_t preEmphasisIndex = -1;    // 0 = "On", 1 = "Off"
  std::int32_t timeConstantIndex = -1;   // 0 = 50 us, 1 = 75 us
  bool storeAsDefault = false;
};

// Number of 100 kHz steps above 87.5 MHz.
using FrequencyChannel = std::uint8_t;

// channel * 0.1 + 87.5, each operation rounded to double.
double ChannelToFrequency(FrequencyChannel channel);
// trunc(frequency * 10) - 875 modulo 256, the product rounded to double
// before truncation.
FrequencyChannel FrequencyToChannel(double frequency);

QuickSettings QuickFromSnapshot(const RegisterSnapshot& snapshot);

// Not >= 87.5 (NaN included) gives 87.5; above 108.0 gives 108.0.
double ClampFrequency(double frequency);

// The register values a Quick Setting writes: A0 with the analog circuit on
// (PE 1, PDX 0, MUTE 0), A2 with unlock detection on (ULD 1).
std::uint8_t QuickA0(const QuickSettings& settings);
std::uint8_t QuickA2(const QuickSettings& settings);

// The summary shown after a Quick Setting; lines separated by "\r\n", no
// line end at the end. An index outside its table is described by the
// register value it writes instead of being looked up.
std::string FormatQuickSummary(const QuickSettings& settings);

}  // namespace vorna
