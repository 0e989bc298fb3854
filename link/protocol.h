#pragma once
// The packet contract between the host and the evaluation board's firmware.
// Shared by the host side (DeviceLink) and the virtual board, so both agree
// on every byte by construction.

#include <cstddef>
#include <cstdint>

namespace vorna {

inline constexpr std::uint8_t PACKET_LEAD = 0xAA;

inline constexpr std::uint8_t CMD_SET_CHANNEL = 0x00;
inline constexpr std::uint8_t CMD_WRITE_REGISTER = 0x01;
inline constexpr std::uint8_t CMD_READ_REGISTERS = 0x02;
inline constexpr std::uint8_t CMD_STORE_DEFAULTS = 0x03;
inline constexpr std::uint8_t CMD_DOWNLOAD = 0x04;

// Request sizes (whole frame) and the reply sizes the host reads.
inline constexpr std::size_t SET_CHANNEL_REQUEST_SIZE = 4;     // AA 02 00 ch
inline constexpr std::size_t SET_CHANNEL_REPLY_SIZE = 4;
inline constexpr std::size_t WRITE_REGISTER_REQUEST_SIZE = 5;  // AA 03 01 addr value
inline constexpr std::size_t WRITE_REGISTER_REPLY_SIZE = 5;    // the echo
inline constexpr std::size_t READ_REGISTERS_REQUEST_SIZE = 3;  // AA 01 02
inline constexpr std::size_t READ_REGISTERS_REPLY_SIZE = 10;   // the snapshot
inline constexpr std::size_t STORE_DEFAULTS_REQUEST_SIZE = 3;  // AA 01 03
inline constexpr std::size_t STORE_DEFAULTS_REPLY_SIZE = 1;
inline constexpr std::size_t DOWNLOAD_REQUEST_SIZE = 5;        // AA 03 04 len-lo len-hi
inline constexpr std::size_t DOWNLOAD_REPLY_SIZE = 2;
inline constexpr std::size_t CHUNK_REPLY_SIZE = 2;

// Program chunks travel unframed, at most this many bytes each.
inline constexpr std::size_t DOWNLOAD_CHUNK_SIZE = 64;

// First byte of an accepting reply to the download start and to each chunk,
// and of the completion reply that follows the last chunk.
inline constexpr std::uint8_t REPLY_ACCEPTED = 0x00;
inline constexpr std::uint8_t REPLY_COMPLETE = 0xFF;

// Register addresses as the chip sees them in a write-register packet.
inline constexpr std::uint8_t REG_A0 = 0x00;
inline constexpr std::uint8_t REG_A1 = 0x10;
inline constexpr std::uint8_t REG_A2 = 0x20;
inline constexpr std::uint8_t REG_A3 = 0x30;
inline constexpr std::uint8_t REG_A4 = 0x40;
inline constexpr std::uint8_t REG_A6 = 0x60;
inline constexpr std::uint8_t REG_A8 = 0x80;
// Receives PREFIX_REGISTER_VALUE before every full register write.
inline constexpr std::uint8_t REG_PREFIX = 0xE0;
inline constexpr std::uint8_t PREFIX_REGISTER_VALUE = 0x05;

// Read time-outs of every exchange: a read of N bytes returns when N bytes
// are in, early when more than READ_INTERVAL_TIMEOUT_MS pass between two
// bytes, and at the latest after READ_TOTAL_CONSTANT_MS +
// READ_TOTAL_MULTIPLIER_MS * N.
inline constexpr int READ_INTERVAL_TIMEOUT_MS = 500;
inline constexpr int READ_TOTAL_MULTIPLIER_MS = 100;
inline constexpr int READ_TOTAL_CONSTANT_MS = 100;

constexpr int ReadTotalTimeoutMs(std::size_t byteCount) {
  return READ_TOTAL_CONSTANT_MS + READ_TOTAL_MULTIPLIER_MS * static_cast<int>(byteCount);
}

// A write that cannot finish within this time fails, so a stuck device cannot
// hang a command. A 64-byte chunk needs 67 ms even at 9600 baud.
inline constexpr int WRITE_TIMEOUT_MS = 2000;

}  // namespace vorna
