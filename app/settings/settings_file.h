#pragma once
// A private-profile (INI) file: "[section]" headers and "key=value" lines.
// Files written by the original Windows tool read the same here, and files
// written here read the same there.
//
// Reading:
// - Section and key names are matched without regard to ASCII case, with
//   blanks around them ignored. The first matching key of the first section
//   of that name that holds it wins.
// - Blanks around a value are dropped, then one pair of matching enclosing
//   quotes (" or ') is removed, as the platform's reader does.
// - Lines may end in CR LF, LF or CR alone; a UTF-8 byte-order mark is
//   skipped.
//   Lines whose first non-blank character is ';' or '#' are comments, and
//   lines with no '=' hold no key.
// - Only a regular file of at most SETTINGS_FILE_SIZE_LIMIT bytes is read
//   (a FIFO or a device never is); anything else reads as a missing file.
//   Reading takes time and memory in proportion to the file.
//
// Writing:
// - The whole file is rewritten through a temporary file in the same folder
//   that is renamed over the old one, so the file is always either the old
//   or the new one, never a truncated mix.
// - Every other line keeps its bytes and its line end, so a file with mixed
//   CR LF and LF line ends keeps them. A changed key keeps its place and
//   its line end; a new key goes after the last key of its section; a new
//   section goes at the end.
// - Only a regular file this user owns and may write is replaced; its mode
//   and group stay. A symbolic link is followed only when this user owns
//   it and it leads to such a file (the link stays a link). A file owned by
//   someone else, a read-only file, a link to anything else, a file that
//   is not a regular one, and a file too large or unreadable to be read as
//   settings are not written: the write fails and the file stays as it was.
// - A value that the reader would change (blanks at either end, or enclosed
//   in a pair of matching quotes) is written inside one more pair of double
//   quotes, which the reader removes again: every value reads back exactly
//   as written.
// - Missing folders on the way to the file are created.
// - Failure is reported by the result only; nothing is shown or logged.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace vorna {

// The platform reader's buffer: a value is read as at most 4095 characters.
inline constexpr std::size_t PROFILE_STRING_CAPACITY = 4096;
// Far above any real settings file; a larger file is taken for a mistake
// and neither read nor replaced.
inline constexpr std::size_t SETTINGS_FILE_SIZE_LIMIT = std::size_t{1} << 20;

// The integer of `key`: after optional blanks and one optional '+' or '-',
// the leading decimal digits. `defaultValue` when the file, the section or
// the key is missing or the value is empty; 0 when the value does not start
// with a digit, is negative, or does not fit in a signed 32-bit integer.
int ReadProfileInt(const std::string& path, std::string_view section, std::string_view key, int defaultValue);

// The text of `key`, or `defaultValue` when the file, the section or the key
// is missing; cut to at most `capacity` - 1 characters.
std::string ReadProfileString(const std::string& path, std::string_view section, std::string_view key,
                              std::string_view defaultValue, std::size_t capacity = PROFILE_STRING_CAPACITY);

struct ProfileEntry {
  std::string key;
  std::string value;
};

// Sets `key` in `section` to `value`, creating the file, the section or the
// key as needed. False when the file could not be written (the old file is
// then untouched) or when a name or the value holds a line break.
bool WriteProfileString(const std::string& path, std::string_view section, std::string_view key,
                        std::string_view value);

// Sets several keys of one section in a single rewrite of the file, in the
// order given. An entry the file cannot hold (a key or value with a line
// break, a key with '=') is left out and its old value stays, but costs no
// other entry: the rest are still written. False when an entry was left
// out or the file was not written.
bool WriteProfileStrings(const std::string& path, std::string_view section, const std::vector<ProfileEntry>& entries);

// The same reading and writing on a file's content held in memory; the
// functions above read the file, and write it back, around these.
int ProfileIntIn(std::string_view content, std::string_view section, std::string_view key, int defaultValue);
std::string ProfileStringIn(std::string_view content, std::string_view section, std::string_view key,
                            std::string_view defaultValue, std::size_t capacity = PROFILE_STRING_CAPACITY);

enum class ProfileEdit {
  None,      // the section or every entry could not be written; nothing changed
  Partial,   // some entries were left out, the rest were set
  Complete,  // every entry was set
};
ProfileEdit SetProfileStringsIn(std::string& content, std::string_view section,
                                const std::vector<ProfileEntry>& entries);

}  // namespace vorna
