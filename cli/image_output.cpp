#include "cli/image_output.h"

#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <optional>
#include <system_error>

#include "base/file_replace.h"

namespace vorna::cli {
namespace {

namespace fs = std::filesystem;

std::string ErrnoText(int error) { return std::generic_category().message(error); }

}  // namespace

ImageOutput CheckImageOutput(const std::string& input, const std::string& output) {
  std::error_code error;
  // As save: a link another user made (one planted in /tmp) leads nowhere.
  const std::optional<std::string> followed = FollowOwnLinks(output, error);
  if (!followed) return {output, error.message()};
  const fs::path target = *followed;
  const fs::file_status status = fs::status(target, error);
  if (status.type() == fs::file_type::not_found) {
    // Never created at the end of a link.
    if (target != output) return {output, ErrnoText(ENOENT)};
    return {target.string(), ""};
  }
  if (error) return {output, error.message()};
  if (status.type() != fs::file_type::regular) return {output, "not a regular file"};
  if (fs::equivalent(input, target, error)) return {output, "it is the input file"};
  // The rename needs only the folder's permission; a file its owner made
  // read-only stays as it is, as it would for a write into it.
  if (::access(target.string().c_str(), W_OK) != 0) return {output, ErrnoText(errno)};
  return {target.string(), ""};
}

std::string WriteImageFile(const std::string& path, const std::uint8_t* bytes, std::size_t size) {
  // Never half a file, but not synced: the image can always be made again
  // from its hex file.
  const std::error_code error = ReplaceFileAtomically(path, {reinterpret_cast<const char*>(bytes), size},
                                                      {ReplaceRule::KeepOwner, Durability::Renamed});
  return error ? error.message() : std::string();
}

}  // namespace vorna::cli
