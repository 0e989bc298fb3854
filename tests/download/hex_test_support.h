#pragma once
// Image checks shared by the hex reader tests.

#include <cstdint>
#include <vector>

#include "download/hex_file.h"
#include "support/temp_folder.h"

namespace vorna::test {

struct Placement {
  std::uint32_t address;
  std::vector<std::uint8_t> bytes;
};

inline std::vector<std::uint8_t> ExpectedImage(std::uint32_t topAddress, const std::vector<Placement>& placements) {
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
