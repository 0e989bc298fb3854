#pragma once
// Temporary folders and image checks shared by the hex reader tests.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "download/hex_file.h"

namespace vorna::test {

// A fresh folder under the test temp dir, removed with everything in it.
class ScratchFolder {
 public:
  ScratchFolder() {
    std::string pattern = testing::TempDir() + "vorna_hex_XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "mkdtemp failed for " << pattern;
    path_ = pattern;
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }

  const std::filesystem::path& path() const { return path_; }

  std::string Write(const std::string& name, std::string_view content) const {
    const std::filesystem::path file = path_ / name;
    std::ofstream out(file, std::ios::binary);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    if (!out) ADD_FAILURE() << "cannot write " << file;
    return file.string();
  }

 private:
  std::filesystem::path path_;
};

struct Placement {
  std::uint32_t address;
  std::vector<std::uint8_t> bytes;
};

inline std::vector<std::uint8_t> ExpectedImage(std::uint32_t topAddress,
                                               const std::vector<Placement>& placements) {
  std::vector<std::uint8_t> image(std::size_t{topAddress} + 1, HEX_FILL_BYTE);
  for (const Placement& p : placements) {
    for (std::size_t i = 0; i < p.bytes.size(); ++i) image.at(p.address + i) = p.bytes[i];
  }
  return image;
}

inline std::vector<std::uint8_t> ImageBytes(const HexImage& image) {
  return {image.bytes.get(), image.bytes.get() + image.size()};
}

}  // namespace vorna::test
