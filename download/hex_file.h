#pragma once
// Hex file reader: turns an Intel HEX or Motorola S-record text file (both
// formats may be mixed line by line) into a flat memory image from address 0.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "link/message_sink.h"

namespace vorna {

// Every image byte that no data record wrote.
inline constexpr std::uint8_t HEX_FILL_BYTE = 0xFF;
// The reader takes lines in pieces of at most HEX_LINE_BUFFER_SIZE - 1
// characters; a longer line is cut and each piece is read as a line of its own.
inline constexpr std::size_t HEX_LINE_BUFFER_SIZE = 540;
// Largest image the reader builds. The board's user program window ends at
// 0x3FFF, so anything near this size is a wrong file; refusing it keeps a
// record at 0xFFFFFFF0 from allocating 4 GiB. Must stay at or below 256 MiB.
inline constexpr std::uint32_t HEX_IMAGE_SIZE_LIMIT = 64u * 1024u * 1024u;

struct HexImage {
  std::uint32_t baseAddress = 0;  // byte i of `bytes` holds address baseAddress + i
  std::uint32_t topAddress = 0;   // highest written address | 0xF
  std::unique_ptr<std::uint8_t[]> bytes;  // topAddress + 1 bytes once loaded

  std::size_t size() const { return bytes ? std::size_t{topAddress} + 1 : 0; }
};

struct IntelHexRecord {
  std::uint8_t byteCount = 0;
  std::uint8_t recordType = 0;
  std::uint8_t checksum = 0;
  std::uint16_t offset = 0;
  std::array<std::uint8_t, 255> data{};
};

struct SRecord {
  std::uint8_t recordType = 0;
  std::uint8_t byteCount = 0;
  std::uint8_t checksum = 0;
  std::array<std::uint8_t, 254> addressAndData{};
};

// Value of the first `n` characters of `text`, most significant first: 0-9,
// A-F and a-f are hex digits, every other character counts as 0. Characters
// that `text` does not hold (n > text.size()) also count as the digit 0, so a
// field cut off by the end of its line reads as if padded with '0'.
std::uint32_t HexFieldValue(std::string_view text, std::size_t n);

// `text` is the line after its ':'. Fields stand at fixed positions; those
// past the end of `text` read as zero digits. data[byteCount..] keep their
// previous contents.
void ParseIntelHexRecord(std::string_view text, IntelHexRecord& record);

// `text` is the line after its 'S'. A missing type character reads as '0'.
void ParseSRecord(std::string_view text, SRecord& record);

// Loads the file at `path`. Returns 0 on success (image filled) and -1 on
// failure after reporting exactly one message to `sink`; on failure `image`
// is left untouched.
int LoadHexFile(const std::string& path, HexImage& image, MessageSink& sink);

// The reader proper, on an open stream positioned at its start whose length
// in bytes is `fileLength` (no more than that many bytes are read from it).
// The stream is read in binary and the text-mode rules are applied here:
// CR LF reads as LF and a 0x1A byte ends the text. The stream stays open.
// LoadHexFile runs this; fuzzers drive it on memory streams.
int LoadHexStream(std::FILE* stream, std::int64_t fileLength, HexImage& image,
                  MessageSink& sink);

}  // namespace vorna
