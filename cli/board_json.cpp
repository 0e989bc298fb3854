#include "cli/board_json.h"

#include <cstddef>
#include <iterator>
#include <ostream>

#include "model/quick_settings.h"

namespace vorna::cli {
namespace {

template <typename T, std::size_t N>
Json Lookup(const T (&table)[N], std::int32_t index) {
  if (index < 0 || static_cast<std::size_t>(index) >= std::size(table)) return nullptr;
  return table[index];
}

}  // namespace

void PrintJson(std::ostream& out, const Json& json) {
  out << json.dump(-1, ' ', false, Json::error_handler_t::replace) << '\n';
}

Json ProfileJson(const BoardProfile& profile) {
  Json fields = Json::object();
  for (std::size_t i = 0; i < FIELD_COUNT; ++i)
    fields[std::string(FIELD_NAMES[i])] = RegisterValue(i, profile.fields[i]);
  return fields;
}

Json SnapshotJson(const RegisterSnapshot& snapshot) {
  const BoardProfile profile = ProfileFromSnapshot(snapshot);
  const QuickSettings quick = QuickFromSnapshot(snapshot);
  Json json = Json::object();
  json["snapshot"] = snapshot.bytes;
  json["fields"] = ProfileJson(profile);
  json["channel"] = profile.channel;
  json["quick"] = {
      {"frequency_mhz", ChannelFrequencyMhz(profile.channel)},
      {"power_mw", Lookup(OUTPUT_POWER_MW, quick.powerIndex)},
      {"audio_level_mvrms", Lookup(AUDIO_LEVEL_MVRMS, quick.audioLevelIndex)},
      {"pre_emphasis", Lookup(PRE_EMPHASIS_TEXT, quick.preEmphasisIndex)},
      {"time_constant_us", Lookup(TIME_CONSTANT_US, quick.timeConstantIndex)},
  };
  return json;
}

}  // namespace vorna::cli
