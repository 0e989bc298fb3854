#pragma once
// Board profiles: everything the board holds that the tools can write — the
// fourteen register fields and the frequency channel — as a small text file
// a person can read, edit, diff and hand on.
//
//   vorna-profile 1
//   # comment lines start with '#' or ';'
//   PE = 1
//   ...
//   P = 0x2a58
//   ...
//   CHANNEL = 108
//
// The first line names the format and its version. Then one FIELD = VALUE a
// line, each of the fifteen names exactly once, in any order; names are
// matched without regard to ASCII case, blanks around names and values are
// ignored, lines may end in CR LF. P is hexadecimal with 0x (decimal without),
// every other value decimal. PL is the register value (2 is 1 mW), as the
// register dump shows it. Each value may take every value its bits in the
// register can hold, test modes included, so any board's settings can be
// saved and restored.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "link/register_snapshot.h"
#include "model/quick_settings.h"
#include "model/transmitter_fields.h"

namespace vorna {

inline constexpr std::string_view PROFILE_MAGIC = "vorna-profile";
inline constexpr int PROFILE_VERSION = 1;
inline constexpr std::string_view PROFILE_CHANNEL_NAME = "CHANNEL";
// A profile is a few hundred bytes; anything this large is something else.
inline constexpr std::size_t PROFILE_MAX_SIZE = std::size_t{64} * 1024;

struct BoardProfile {
  // As DecodeFields gives them: PL is the index (register value - 2).
  TransmitterFields fields;
  FrequencyChannel channel = 0;
  bool operator==(const BoardProfile&) const = default;
};

// The board's settings as a snapshot reports them.
BoardProfile ProfileFromSnapshot(const RegisterSnapshot& snapshot);

// The value of field `index` (FIELD_COUNT for the channel) as the file holds
// it: PL as its register value, P as 0x and lower-case hexadecimal.
std::string ProfileValueText(const BoardProfile& profile, std::size_t index);

// The whole file, first line and comments included, "\n" line ends.
std::string FormatProfile(const BoardProfile& profile);

struct ProfileProblem {
  std::size_t line = 0;  // 1-based
  std::string what;
};

struct ProfileParse {
  std::optional<BoardProfile> profile;   // only when there is no problem
  std::vector<ProfileProblem> problems;  // in line order
};

// Checks the whole text and reports every problem found, not just the
// first: a line that is not FIELD = VALUE, an unknown or repeated name, a
// value that is no number or does not fit its bits, missing names (one
// problem at the last line), and a text that is not a profile at all (at line 1, nothing
// more is checked) or is larger than PROFILE_MAX_SIZE (at the line where
// the limit is crossed).
ProfileParse ParseProfile(std::string_view text);

// Reads and parses `path`. A file that cannot be read gives one problem at
// line 0 holding the system's reason.
ProfileParse ReadProfileFile(const std::string& path);

// "FILE:LINE: what", or "FILE: what" for line 0; control characters shown
// as \xNN (EscapeControls).
std::string FormatProfileProblem(const std::string& path, const ProfileProblem& problem);

// Replaces `path` with the profile: the new text goes to a temporary file
// beside it that is renamed over the old one once it is whole. False when
// that failed, with the system's reason in `error` when given; the old file
// is then untouched.
bool WriteProfileFile(const std::string& path, const BoardProfile& profile, std::error_code* error = nullptr);

// The register bytes a profile writes.
RegisterBytes ProfileRegisters(const BoardProfile& profile);

// The register dump of the fields, then " CHANNEL = n (f MHz)": what a load
// writes, for the status pane, the confirmation and vornactl's output.
std::string FormatProfileDump(const BoardProfile& profile);

// The frequency of a channel as the Quick Setting summary prints it, "98.3",
// and as the double nearest to that decimal (divided, not multiplied by 0.1,
// so that it prints back as the same decimal).
std::string ChannelFrequencyText(FrequencyChannel channel);
double ChannelFrequencyMhz(FrequencyChannel channel);

struct ProfileDifference {
  std::string_view name;
  std::string boardValue;
  std::string fileValue;
};

// The names whose values differ, in file order.
std::vector<ProfileDifference> DiffProfiles(const BoardProfile& board, const BoardProfile& file);

}  // namespace vorna
