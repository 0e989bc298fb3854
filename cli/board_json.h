#pragma once
// The board's settings as JSON for scripts, built as a document and
// serialised by the library, so quoting and number formats are always
// right and never depend on the locale.

#include <nlohmann/json.hpp>

#include <iosfwd>

#include "commands/profile.h"
#include "link/register_snapshot.h"

namespace vorna::cli {

using Json = nlohmann::ordered_json;

// The one printer of every JSON output: the document on one line. A text
// that is not UTF-8 (a file name, a device's string) has each bad byte
// replaced by U+FFFD, so that one name never costs the rest.
void PrintJson(std::ostream& out, const Json& json);

// The fourteen fields (PL as its register value) and the channel, by name.
Json ProfileJson(const BoardProfile& profile);

// {"snapshot": [ten bytes], "fields": {...}, "channel": n, "quick":
// {"frequency_mhz", "power_mw", "audio_level_mvrms", "pre_emphasis",
// "time_constant_us"}}; a quick value outside its table is null.
Json SnapshotJson(const RegisterSnapshot& snapshot);

}  // namespace vorna::cli
