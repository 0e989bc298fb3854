#pragma once
// A fresh folder under the system's temporary folder (or under `base`),
// removed with everything in it when the test ends. Header-only, so that
// every suite, fuzzer and benchmark can use it without the support library.

#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace vorna::test {

class TempFolder {
 public:
  explicit TempFolder(std::string_view prefix = "vorna-test",
                      const std::filesystem::path& base = std::filesystem::temp_directory_path()) {
#ifdef _WIN32
    // No mkdtemp: names are drawn until one is new.
    std::random_device random;
    for (int attempt = 0; attempt < CREATE_ATTEMPTS && path_.empty(); ++attempt) {
      const std::filesystem::path candidate = base / (std::string(prefix) + "-" + std::to_string(random()));
      std::error_code error;
      if (std::filesystem::create_directory(candidate, error)) path_ = candidate;
    }
    if (path_.empty()) throw std::runtime_error("cannot create a folder in " + base.string());
#else
    std::string pattern = (base / (std::string(prefix) + "-XXXXXX")).string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed for " + pattern);
    path_ = pattern;
#endif
  }
  ~TempFolder() {
    // A test may have taken its own permissions away from the folder.
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
  std::string File(const std::string& name) const { return (path_ / name).string(); }

  // Writes `content` to a new file `name` here; its path.
  std::string Write(const std::string& name, std::string_view content) const {
    const std::string file = File(name);
    std::ofstream out(file, std::ios::binary);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    if (!out) throw std::runtime_error("cannot write " + file);
    return file;
  }

#ifndef _WIN32
  // Makes a FIFO `name` here; its path.
  std::string MakeFifo(const std::string& name) const {
    if (::mkfifo(File(name).c_str(), 0600) != 0) throw std::runtime_error("mkfifo failed for " + File(name));
    return File(name);
  }
#endif

  // The names of the files here, in directory order.
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path_))
      names.push_back(entry.path().filename().string());
    return names;
  }

 private:
#ifdef _WIN32
  static constexpr int CREATE_ATTEMPTS = 100;
#endif
  std::filesystem::path path_;
};

}  // namespace vorna::test
