#pragma once
// Replacing a file's whole content so that a failure never costs the old
// file: the content goes to a new file beside it, which is renamed over the
// old one only once it is whole. Readers see the old file or the new one,
// never a mix; on failure the new file is removed and the old one stays.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace vorna {

// Which file a replacement may go to, and what the new file keeps.
enum class ReplaceRule {
  // Only a regular file this user owns and may write is replaced, so that
  // ownership never moves to the writer and a read-only file stays so; the
  // new file keeps its mode and group. A symbolic link is followed only
  // when this user made it (one planted in a shared folder leads nowhere),
  // and only to such a file; the link stays. A missing file is created,
  // with the folders on the way unless MissingFolders says otherwise, but
  // never at the end of a link.
  OwnFilesOnly,
  // The caller has chosen the file: any regular file or none. The new file
  // keeps the old one's permission bits and, where the system lets this
  // user give a file away (root only), its owner and group. The folder must
  // exist.
  KeepOwner,
};

// Whether the new file must survive a crash of the machine once replaced.
enum class Durability {
  Renamed,  // no wait for the disk
  Synced,   // the file is synced before the rename, its folder after
};

// Whether OwnFilesOnly makes the missing folders on the way to a new file
// (a settings file in a folder of its own) or fails with ENOENT (a file the
// user named, whose folder should exist).
enum class MissingFolders {
  Create,
  Fail,
};

struct ReplaceOptions {
  ReplaceRule rule = ReplaceRule::OwnFilesOnly;
  Durability durability = Durability::Synced;
  MissingFolders folders = MissingFolders::Create;
};

// Where `path` leads when a symbolic link is followed only when this user
// made it (the rule of OwnFilesOnly): `path` itself when it is no link,
// else the end of a chain of this user's links. None when the chain holds
// another user's link (EACCES) or does not end (ELOOP), or a link cannot
// be read; `error` then says why. On Windows every link is followed.
std::optional<std::string> FollowOwnLinks(const std::string& path, std::error_code& error);

// The file that replacing `path` under OwnFilesOnly goes to (the end of a
// link this user made), and whether it exists. None when the rule refuses it.
struct ReplaceTarget {
  std::string path;
  bool exists = false;
};
std::optional<ReplaceTarget> FindOwnReplaceTarget(const std::string& path);

// The name of the new file written beside `fileName` before it replaces
// it: hidden and unique to the process and the attempt. It keeps within
// `nameLimit` bytes, the longest name the folder takes: when `fileName` is
// too long to be part of it, a fixed stem stands in.
std::string TemporaryFileName(const std::string& fileName, long processId, unsigned attempt, std::size_t nameLimit);

// Replaces the file at `path` with `content`. Empty on success; otherwise the
// system's reason, EACCES for a file the rule refuses.
std::error_code ReplaceFileAtomically(const std::string& path, std::string_view content,
                                      const ReplaceOptions& options = {});

}  // namespace vorna
