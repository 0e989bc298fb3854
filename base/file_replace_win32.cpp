#include "base/file_replace.h"

#include <io.h>
#include <process.h>

#include <cerrno>
#include <filesystem>

#include "base/file_io.h"
#include "base/file_open.h"
#include "base/unique_fd.h"

namespace vorna {
namespace {

namespace fs = std::filesystem;

constexpr int TEMP_NAME_ATTEMPTS = 100;
// A name's limit on Windows' file systems, in UTF-16 units; a name of this
// many bytes never has more.
constexpr std::size_t MAX_NAME_LENGTH = 255;
constexpr int NEW_FILE_MODE = 0666;

std::error_code Errno(int error) { return {error, std::generic_category()}; }

}  // namespace

// Making a link takes a privilege here; who made one is not asked.
std::optional<std::string> FollowOwnLinks(const std::string& path, std::error_code& error) {
  if (!fs::is_symlink(fs::symlink_status(path, error))) return path;
  const fs::path target = fs::canonical(path, error);
  if (error) return std::nullopt;
  return target.string();
}

// Windows keeps owners and permissions in access lists that a new file
// inherits from its folder, so of the rule only this is left: a regular
// file without the read-only attribute, or none.
std::optional<ReplaceTarget> FindOwnReplaceTarget(const std::string& path) {
  std::error_code error;
  const fs::file_status status = fs::status(path, error);
  if (status.type() == fs::file_type::not_found) return ReplaceTarget{path, false};
  if (error || !fs::is_regular_file(status)) return std::nullopt;
  if ((status.permissions() & fs::perms::owner_write) == fs::perms::none) return std::nullopt;
  return ReplaceTarget{path, true};
}

std::error_code ReplaceFileAtomically(const std::string& path, std::string_view content,
                                      const ReplaceOptions& options) {
  const fs::path target = path;
  const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
  std::error_code error;
  if (options.rule == ReplaceRule::OwnFilesOnly) {
    const std::optional<ReplaceTarget> own = FindOwnReplaceTarget(path);
    if (!own) return Errno(EACCES);
    if (!own->exists && options.folders == MissingFolders::Create) {
      fs::create_directories(folder, error);
      if (error) return error;
    }
  }
  static unsigned counter = 0;
  UniqueFd fd;
  std::string temporary;
  for (int attempt = 0; attempt < TEMP_NAME_ATTEMPTS && !fd.valid(); ++attempt) {
    temporary =
        (folder / TemporaryFileName(target.filename().string(), ::_getpid(), counter++, MAX_NAME_LENGTH)).string();
    fd = UniqueFd(CreateNewFile(temporary, NEW_FILE_MODE));
    if (!fd.valid() && errno != EEXIST) return Errno(errno);
  }
  if (!fd.valid()) return Errno(EEXIST);
  bool whole = WriteAll(fd.get(), content);
  if (whole && options.durability == Durability::Synced) whole = ::_commit(fd.get()) == 0;
  if (whole) whole = fd.Close();
  if (whole) {
    // Replaces an existing file as MoveFileEx with replacement does.
    fs::rename(temporary, target, error);
  } else {
    error = Errno(errno);
  }
  if (error) {
    fd.Close();
    std::error_code ignored;
    fs::remove(temporary, ignored);
  }
  return error;
}

}  // namespace vorna
