#pragma once
// The board's settings as JSON for scripts, built as a document and
// serialised by the library, so quoting and number formats are always
// right and never depend on the locale.

#include <nlohmann/json.hpp>

#include "commands/profile.h"
#include "link/register_snapshot.h"

namespace vorna::cli {

using Json = nlohmann::ordered_json;

// The fourteen fields (PL as its register value) and the channel, by name.
Json ProfileJson(const BoardProfile& profile);

// {"snapshot": [ten bytes], "fields": {...}, "channel": n, "quick":
// {"frequency_mhz", "power_mw", "audio_level_mvrms", "pre_emphasis",
// "time_constant_us"}}; a quick value outside its table is null.
Json SnapshotJson(const RegisterSnapshot& snapshot);

}  // namespace vorna::cli
