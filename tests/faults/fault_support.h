#pragma once
// Helpers of the fault tests: a scratch folder, the port-alias folder the
// boards publish their numbers in, another program's hold on a port, and
// what the board and this process hold afterwards.

#include <stdlib.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "link/serial_posix.h"
#include "support/board_sim.h"

namespace vorna::test {

// A fresh folder, removed with everything in it at the end of the test.
class ScratchFolder {
 public:
  ScratchFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "vorna-faults-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::string File(const std::string& name) const { return (path_ / name).string(); }
  std::string Write(const std::string& name, const std::string& content) const {
    std::ofstream(File(name), std::ios::binary) << content;
    return File(name);
  }
  std::string MakeFifo(const std::string& name) const {
    if (::mkfifo(File(name).c_str(), 0600) != 0) throw std::runtime_error("mkfifo failed");
    return File(name);
  }

 private:
  std::filesystem::path path_;
};

// A configuration folder of the test's own, in which boards started with
// --com publish their port numbers; the link finds them there once
// Activate() pointed XDG_CONFIG_HOME at it.
class PortAliases {
 public:
  PortAliases() {
    if (const char* old = std::getenv(VARIABLE)) saved_ = old;
  }
  ~PortAliases() {
    if (saved_) {
      ::setenv(VARIABLE, saved_->c_str(), 1);
    } else {
      ::unsetenv(VARIABLE);
    }
  }
  PortAliases(const PortAliases&) = delete;
  PortAliases& operator=(const PortAliases&) = delete;

  void Activate() const { ::setenv(VARIABLE, home().c_str(), 1); }
  std::string home() const { return folder_.path().string(); }
  std::string AliasFolder() const { return home() + "/vorna/ports"; }

 private:
  static constexpr const char* VARIABLE = "XDG_CONFIG_HOME";
  ScratchFolder folder_;
  std::optional<std::string> saved_;
};

// Another program's exclusive hold on a port, for as long as it lives.
class PortHolder {
 public:
  explicit PortHolder(const std::string& device) {
    if (!transport_.Open(device)) throw std::runtime_error("cannot hold " + device + ": " + transport_.LastError());
  }

 private:
  PosixSerialTransport transport_;
};

// The descriptors this process has open.
inline std::size_t OpenDescriptorCount() {
  std::size_t count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) ++count;
  return count;
}

// The requests the board received, as logged ("aa 01 02").
inline std::vector<std::string> BoardRequests(const BoardSim& board) {
  std::vector<std::string> requests;
  for (const auto& line : board.logLines()) {
    if (line.rfind("<- ", 0) == 0) requests.push_back(line.substr(3));
  }
  return requests;
}

inline std::string Join(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) text += line + "\n";
  return text;
}

}  // namespace vorna::test
