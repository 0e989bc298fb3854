// Packs PNG pictures into a Windows icon file at build time, each picture
// one size of the icon (stored as PNG, which Windows reads since Vista):
//   vorna-make-ico OUT.ico IN.png...

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr std::array<unsigned char, 8> PNG_SIGNATURE = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
// The signature, the IHDR chunk's length and type, then its width and height.
constexpr std::size_t WIDTH_OFFSET = 16;
constexpr std::size_t HEADER_SIZE = 6;
constexpr std::size_t ENTRY_SIZE = 16;
constexpr std::uint32_t LARGEST_SIDE = 256;

std::uint32_t BigEndian32(const std::vector<unsigned char>& data, std::size_t at) {
  return static_cast<std::uint32_t>(data[at]) << 24 | static_cast<std::uint32_t>(data[at + 1]) << 16 |
         static_cast<std::uint32_t>(data[at + 2]) << 8 | data[at + 3];
}

void Put(std::string& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: vorna-make-ico OUT.ico IN.png...\n");
    return EXIT_FAILURE;
  }
  std::vector<std::vector<unsigned char>> pictures;
  for (int i = 2; i < argc; ++i) {
    std::ifstream in(argv[i], std::ios::binary);
    std::vector<unsigned char> data{std::istreambuf_iterator<char>(in), {}};
    if (data.size() < WIDTH_OFFSET + 8 || !std::equal(PNG_SIGNATURE.begin(), PNG_SIGNATURE.end(), data.begin()) ||
        BigEndian32(data, WIDTH_OFFSET) > LARGEST_SIDE || BigEndian32(data, WIDTH_OFFSET + 4) > LARGEST_SIDE) {
      std::fprintf(stderr, "vorna-make-ico: %s is no PNG picture of at most 256 x 256 pixels\n", argv[i]);
      return EXIT_FAILURE;
    }
    pictures.push_back(std::move(data));
  }
  std::string ico;
  Put(ico, 0, 2);  // reserved
  Put(ico, 1, 2);  // an icon, not a cursor
  Put(ico, static_cast<std::uint32_t>(pictures.size()), 2);
  std::uint32_t offset = static_cast<std::uint32_t>(HEADER_SIZE + ENTRY_SIZE * pictures.size());
  for (const auto& picture : pictures) {
    // 256 pixels are written as 0.
    Put(ico, BigEndian32(picture, WIDTH_OFFSET) % LARGEST_SIDE, 1);
    Put(ico, BigEndian32(picture, WIDTH_OFFSET + 4) % LARGEST_SIDE, 1);
    Put(ico, 0, 2);   // no palette, reserved
    Put(ico, 1, 2);   // colour planes
    Put(ico, 32, 2);  // bits per pixel
    Put(ico, static_cast<std::uint32_t>(picture.size()), 4);
    Put(ico, offset, 4);
    offset += static_cast<std::uint32_t>(picture.size());
  }
  for (const auto& picture : pictures) ico.append(picture.begin(), picture.end());
  std::ofstream out(argv[1], std::ios::binary);
  if (!out.write(ico.data(), static_cast<std::streamsize>(ico.size()))) {
    std::fprintf(stderr, "vorna-make-ico: cannot write %s\n", argv[1]);
    return EXIT_FAILURE;
  }
  return EXIT_SUCCESS;
}
