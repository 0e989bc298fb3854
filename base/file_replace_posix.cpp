#include "base/file_replace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <filesystem>
#include <utility>

#include "base/file_io.h"
#include "base/file_open.h"
#include "base/unique_fd.h"

namespace vorna {
namespace {

namespace fs = std::filesystem;

constexpr int TEMP_NAME_ATTEMPTS = 100;
constexpr int NEW_FILE_MODE = 0666;  // narrowed by the umask
// Links followed on the way to the file before giving up, as the kernel does.
constexpr int MAX_LINK_HOPS = 40;

std::error_code Errno(int error) { return {error, std::generic_category()}; }

// The file a replacement goes to, and what it was.
struct WriteTarget {
  fs::path path;
  std::optional<struct stat> existing;  // none: a new file
};

std::optional<WriteTarget> ChooseOwnTarget(const std::string& path) {
  std::error_code error;
  const std::optional<std::string> followed = FollowOwnLinks(path, error);
  if (!followed) return std::nullopt;
  struct stat info {};
  if (::lstat(followed->c_str(), &info) != 0) {
    // Created where it is missing, but never at the end of a link.
    if ((errno == ENOENT || errno == ENOTDIR) && *followed == path) return WriteTarget{path, std::nullopt};
    return std::nullopt;
  }
  if (!S_ISREG(info.st_mode) || info.st_uid != ::geteuid() || (info.st_mode & S_IWUSR) == 0) return std::nullopt;
  return WriteTarget{*followed, info};
}

// Removes the temporary file unless it was renamed into place.
class TemporaryFile {
 public:
  explicit TemporaryFile(std::string path) : path_(std::move(path)) {}
  ~TemporaryFile() {
    if (!path_.empty()) ::unlink(path_.c_str());
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  const std::string& path() const { return path_; }
  void Keep() { path_.clear(); }

 private:
  std::string path_;
};

// Gives the new file what the old one had, as `rule` says.
bool TakeOver(int fd, const struct stat& old, ReplaceRule rule) {
  if (rule == ReplaceRule::OwnFilesOnly) {
    // The old file's group: a set-group-ID folder or the user's own choice
    // may have given it another one than the new file's.
    struct stat made {};
    if (::fstat(fd, &made) != 0) return false;
    if (made.st_gid != old.st_gid && ::fchown(fd, static_cast<uid_t>(-1), old.st_gid) != 0) return false;
    return ::fchmod(fd, old.st_mode & 07777) == 0;
  }
  // Only root may give the file away; anyone else keeps it as their own.
  const bool owned = ::fchown(fd, old.st_uid, old.st_gid) == 0 || errno == EPERM;
  return owned && ::fchmod(fd, old.st_mode & 0777) == 0;
}

std::error_code Replace(const WriteTarget& target, std::string_view content, const ReplaceOptions& options) {
  const fs::path folder = target.path.has_parent_path() ? target.path.parent_path() : fs::path(".");
  if (!target.existing && options.rule == ReplaceRule::OwnFilesOnly && options.folders == MissingFolders::Create) {
    std::error_code error;
    fs::create_directories(folder, error);
    if (error) return error;
  }

  static unsigned counter = 0;
  const long folderLimit = ::pathconf(folder.c_str(), _PC_NAME_MAX);
  const std::size_t nameLimit = folderLimit > 0 ? static_cast<std::size_t>(folderLimit) : NAME_MAX;
  UniqueFd fd;
  std::optional<TemporaryFile> temp;
  for (int attempt = 0; attempt < TEMP_NAME_ATTEMPTS && !temp; ++attempt) {
    const std::string tempPath =
        (folder / TemporaryFileName(target.path.filename().string(), ::getpid(), counter++, nameLimit)).string();
    fd = UniqueFd(CreateNewFile(tempPath, NEW_FILE_MODE));
    if (fd.valid()) {
      temp.emplace(tempPath);
    } else if (errno != EEXIST) {
      return Errno(errno);
    }
  }
  if (!temp) return Errno(EEXIST);
  if (target.existing && !TakeOver(fd.get(), *target.existing, options.rule)) return Errno(errno);
  if (!WriteAll(fd.get(), content)) return Errno(errno);
  if (options.durability == Durability::Synced && ::fsync(fd.get()) != 0) return Errno(errno);
  if (!fd.Close()) return Errno(errno);
  if (::rename(temp->path().c_str(), target.path.c_str()) != 0) return Errno(errno);
  temp->Keep();
  if (options.durability == Durability::Synced) {
    // Makes the rename itself durable; the file is complete either way.
    const UniqueFd folderFd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folderFd.valid()) ::fsync(folderFd.get());
  }
  return {};
}

}  // namespace

std::optional<std::string> FollowOwnLinks(const std::string& path, std::error_code& error) {
  fs::path current = path;
  for (int hops = 0; hops <= MAX_LINK_HOPS; ++hops) {
    struct stat info {};
    if (::lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return current.string();
    if (info.st_uid != ::geteuid()) {
      error = Errno(EACCES);
      return std::nullopt;
    }
    const fs::path next = fs::read_symlink(current, error);
    if (error) return std::nullopt;
    current = next.is_absolute() ? next : current.parent_path() / next;
  }
  error = Errno(ELOOP);
  return std::nullopt;
}

std::optional<ReplaceTarget> FindOwnReplaceTarget(const std::string& path) {
  const std::optional<WriteTarget> target = ChooseOwnTarget(path);
  if (!target) return std::nullopt;
  return ReplaceTarget{target->path.string(), target->existing.has_value()};
}

std::error_code ReplaceFileAtomically(const std::string& path, std::string_view content,
                                      const ReplaceOptions& options) {
  if (options.rule == ReplaceRule::OwnFilesOnly) {
    const std::optional<WriteTarget> target = ChooseOwnTarget(path);
    if (!target) return Errno(EACCES);
    return Replace(*target, content, options);
  }
  WriteTarget target{path, std::nullopt};
  if (struct stat existing{}; ::stat(path.c_str(), &existing) == 0) target.existing = existing;
  return Replace(target, content, options);
}

}  // namespace vorna
