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

#include "download/hex_check.h"
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
// How much of a file the reader holds in memory at a time.
inline constexpr std::size_t HEX_READ_WINDOW_SIZE = std::size_t{256} * 1024u;
// Longest file the reader takes. A program for the board covers at most
// 16 KiB of addresses and takes well under 100 KiB of text; even an image at
// HEX_IMAGE_SIZE_LIMIT written in records of 8 data bytes with CR LF line
// ends stays below this. A longer file is a wrong choice of file, refused
// before any of it is read.
inline constexpr std::uint64_t HEX_FILE_LENGTH_LIMIT = std::uint64_t{256} * 1024 * 1024;

// What the reader saw of the file's lines up to its end record: enough to
// warn about a file that loads but cannot be what its author meant.
struct HexLineReport {
  std::size_t records = 0;          // lines read that start with ':' or 'S'
  bool lineFeedSeen = false;        // some piece ended in LF
  bool carriageReturnSeen = false;  // some CR stood without an LF after it
};

struct HexImage {
  std::uint32_t topAddress = 0;           // highest written address | 0xF
  std::unique_ptr<std::uint8_t[]> bytes;  // topAddress + 1 bytes once loaded, byte i at address i
  HexLineReport lines;                    // set with the image
  HexContentReport content;               // set with the image

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

// The warning for a file whose lines end in CR alone: text mode reads it as
// one line, so only the records that begin a 539-character piece are read.
// Empty when the file gives no cause. One text for every front end.
std::string HexLineEndWarning(const HexLineReport& lines);

// Loads the file at `path` through LoadHexDescriptor. Returns 0 on success
// (image filled) and -1 on failure after reporting exactly one message to
// `sink`; on failure `image` is left untouched.
int LoadHexFile(const std::string& path, HexImage& image, MessageSink& sink);

// LoadHexFile once the file is open and measured: `fd` is a regular file
// open for reading at its start, `fileLength` its length when measured. The
// file is read twice, one pass each, through a window of `windowSize` bytes
// (at least HEX_LINE_BUFFER_SIZE + 1; tests use small ones); it is never
// mapped, so a file that another program cuts short cannot kill the reader.
// A file that holds less than was measured, or that reads differently the
// second time, fails with "_filelength error.".
int LoadHexDescriptor(int fd, std::int64_t fileLength, HexImage& image, MessageSink& sink,
                      std::size_t windowSize = HEX_READ_WINDOW_SIZE);

// The reader on an open stream positioned at its start whose length in bytes
// is `fileLength` (no more than that many bytes are read from it): the text
// is read into memory whole and both passes run over it. The text-mode rules
// are applied by the reader, not the stream: CR LF reads as LF and a 0x1A
// byte ends the text. The stream stays open. Fuzzers drive it on memory
// streams, with a smaller `imageSizeLimit` (at most HEX_IMAGE_SIZE_LIMIT) so
// that an input of a few bytes cannot make every run fill 64 MiB.
int LoadHexStream(std::FILE* stream, std::int64_t fileLength, HexImage& image, MessageSink& sink,
                  std::uint32_t imageSizeLimit = HEX_IMAGE_SIZE_LIMIT);

}  // namespace vorna
