#pragma once
// The board published under a port number: a symbolic link COM<n> in the
// port-alias folder, pointing at the device, so that the host's port-number
// lookup finds it.

#include <optional>
#include <string>

namespace vorna::sim {

class PortAlias {
 public:
  // Creates the folder as needed and the link, replacing an older link of
  // that name (never anything else). On failure returns nullopt and sets
  // `error`.
  static std::optional<PortAlias> Create(const std::string& folder, int portNumber, const std::string& target,
                                         std::string& error);

  // Removes the link, unless it points somewhere else by now (another board
  // took the number over).
  ~PortAlias();
  PortAlias(PortAlias&& other) noexcept;
  PortAlias& operator=(PortAlias&&) = delete;
  PortAlias(const PortAlias&) = delete;
  PortAlias& operator=(const PortAlias&) = delete;

  const std::string& path() const { return path_; }

 private:
  PortAlias(std::string path, std::string target) : path_(std::move(path)), target_(std::move(target)) {}

  std::string path_;  // empty once moved from
  std::string target_;
};

// Where the link points, or nullopt when `path` is no symbolic link.
std::optional<std::string> LinkTarget(const std::string& path);

}  // namespace vorna::sim
