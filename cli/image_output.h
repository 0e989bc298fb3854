#pragma once
// Writing `vornactl image`'s output file so that a failure never costs the
// user a file: the image goes to a temporary file beside the output, which
// replaces the output only once it is whole.

#include <cstddef>
#include <cstdint>
#include <string>

namespace vorna::cli {

// Where the image goes, once `output` has passed the checks.
struct ImageOutput {
  std::string path;    // the file to replace: `output`, or its link's target
  std::string reason;  // why `output` is refused; empty when it is not
};

// Checks `output` before anything is read: an existing output must be a
// regular file (a link this user made is followed to one; another user's
// link is refused) that the user may write, and must not be `input` itself
// under any name. A missing output is fine, but not at the end of a link.
ImageOutput CheckImageOutput(const std::string& input, const std::string& output);

// Writes `size` bytes to a new file beside `path` and renames it over `path`.
// An existing file keeps its permissions (and, where allowed, its owner).
// Returns the system's reason on failure, after removing the new file;
// `path` is then as it was. Empty on success.
std::string WriteImageFile(const std::string& path, const std::uint8_t* bytes, std::size_t size);

}  // namespace vorna::cli
