#pragma once
// The packet contract between the host and the evaluation board's firmware.
// Shared by the host side (DeviceLink) and the virtual board, so both agree
// on every byte by construction: a command is described here once, in
// COMMANDS, and both sides take its sizes from there.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "link/register_snapshot.h"

namespace vorna {

// A request frame:
//
//   byte   0      1        2      3 ...
//        +------+--------+------+-------------------+
//        | lead | length | code | payload           |
//        | AA   |        |      | 0 to 2 bytes      |
//        +------+--------+------+-------------------+
//
// The length byte counts the code and the payload: 1 + payload size. Lead and
// length byte themselves are not counted.
inline constexpr std::uint8_t PACKET_LEAD = 0xAA;
inline constexpr std::size_t FRAME_LENGTH_INDEX = 1;
inline constexpr std::size_t FRAME_CODE_INDEX = 2;
inline constexpr std::size_t FRAME_CODE_SIZE = 1;
inline constexpr std::size_t FRAME_PAYLOAD_INDEX = FRAME_CODE_INDEX + FRAME_CODE_SIZE;
// The lead and the length byte: what comes before the counted bytes.
inline constexpr std::size_t FRAME_HEADER_SIZE = FRAME_CODE_INDEX;

// The length byte of a frame with this much payload.
constexpr std::size_t FrameLengthByte(std::size_t payloadSize) { return FRAME_CODE_SIZE + payloadSize; }
constexpr std::size_t FrameSize(std::size_t payloadSize) { return FRAME_HEADER_SIZE + FrameLengthByte(payloadSize); }

inline constexpr std::uint8_t CMD_SET_CHANNEL = 0x00;
inline constexpr std::uint8_t CMD_WRITE_REGISTER = 0x01;
inline constexpr std::uint8_t CMD_READ_REGISTERS = 0x02;
inline constexpr std::uint8_t CMD_STORE_DEFAULTS = 0x03;
inline constexpr std::uint8_t CMD_DOWNLOAD = 0x04;

// What the board sends back for a command.
enum class ReplyKind {
  Echo,      // the request frame, byte for byte
  Snapshot,  // the register snapshot
  Done,      // one byte once the command is carried out; hosts ignore its value
  Verdict,   // REPLY_ACCEPTED or a refusal code, then one filler byte
};

// A verdict: the deciding byte, then a filler byte hosts ignore. The download
// start and every program chunk are answered so.
inline constexpr std::size_t VERDICT_REPLY_SIZE = 2;
inline constexpr std::size_t DONE_REPLY_SIZE = 1;

struct CommandEntry {
  std::uint8_t code;
  std::size_t payloadSize;  // bytes after the code
  ReplyKind replyKind;
  std::size_t replySize;
};

constexpr std::size_t ReplySize(ReplyKind kind, std::size_t payloadSize) {
  switch (kind) {
    case ReplyKind::Echo:
      return FrameSize(payloadSize);
    case ReplyKind::Snapshot:
      return REGISTER_SNAPSHOT_SIZE;
    case ReplyKind::Done:
      return DONE_REPLY_SIZE;
    case ReplyKind::Verdict:
      return VERDICT_REPLY_SIZE;
  }
  return 0;
}

constexpr CommandEntry DefineCommand(std::uint8_t code, std::size_t payloadSize, ReplyKind replyKind) {
  return {code, payloadSize, replyKind, ReplySize(replyKind, payloadSize)};
}

// The commands: code, payload size, reply.
inline constexpr CommandEntry SET_CHANNEL_COMMAND =  // payload: the channel
    DefineCommand(CMD_SET_CHANNEL, 1, ReplyKind::Echo);
inline constexpr CommandEntry WRITE_REGISTER_COMMAND =  // payload: address, value
    DefineCommand(CMD_WRITE_REGISTER, 2, ReplyKind::Echo);
inline constexpr CommandEntry READ_REGISTERS_COMMAND = DefineCommand(CMD_READ_REGISTERS, 0, ReplyKind::Snapshot);
inline constexpr CommandEntry STORE_DEFAULTS_COMMAND = DefineCommand(CMD_STORE_DEFAULTS, 0, ReplyKind::Done);
inline constexpr CommandEntry DOWNLOAD_COMMAND =  // payload: program length, low byte first
    DefineCommand(CMD_DOWNLOAD, 2, ReplyKind::Verdict);

inline constexpr std::array<CommandEntry, 5> COMMANDS = {
    SET_CHANNEL_COMMAND, WRITE_REGISTER_COMMAND, READ_REGISTERS_COMMAND, STORE_DEFAULTS_COMMAND, DOWNLOAD_COMMAND};

// The command with this code, or nullptr.
constexpr const CommandEntry* FindCommand(std::uint8_t code) {
  const auto found =
      std::find_if(COMMANDS.begin(), COMMANDS.end(), [code](const CommandEntry& c) { return c.code == code; });
  return found == COMMANDS.end() ? nullptr : &*found;
}

constexpr std::size_t FrameSize(const CommandEntry& command) { return FrameSize(command.payloadSize); }

// Codes run from 0 to COMMAND_CODE_COUNT - 1.
inline constexpr std::size_t COMMAND_CODE_COUNT =
    std::max_element(COMMANDS.begin(), COMMANDS.end(),
                     [](const CommandEntry& a, const CommandEntry& b) { return a.code < b.code; })
        ->code +
    std::size_t{1};

// The one way to build a request frame: exactly the command's payload, as
// bytes, or it does not compile.
template <CommandEntry Entry, typename... Payload>
constexpr std::array<std::uint8_t, FrameSize(Entry)> BuildFrame(Payload... payload) {
  static_assert(sizeof...(Payload) == Entry.payloadSize, "a frame carries exactly its command's payload");
  static_assert((std::is_same_v<Payload, std::uint8_t> && ...), "payload bytes are std::uint8_t");
  return {PACKET_LEAD, static_cast<std::uint8_t>(FrameLengthByte(Entry.payloadSize)), Entry.code, payload...};
}

// Program chunks and the completion are answered with a verdict too.
inline constexpr std::size_t CHUNK_REPLY_SIZE = VERDICT_REPLY_SIZE;

// The user program window: the board takes the bytes from 0x2000 to 0x3FFF,
// at most 8 KiB, whose length the download start carries.
inline constexpr std::uint32_t USER_PROGRAM_START = 0x2000;
inline constexpr std::uint32_t USER_PROGRAM_MAX_LENGTH = 0x2000;
static_assert(USER_PROGRAM_MAX_LENGTH <= 0xFFFF, "the download start carries the length in two bytes");

// Program chunks travel unframed, at most this many bytes each.
inline constexpr std::size_t DOWNLOAD_CHUNK_SIZE = 64;

// First byte of an accepting reply to the download start and to each chunk,
// and of the completion reply that follows the last chunk.
inline constexpr std::uint8_t REPLY_ACCEPTED = 0x00;
inline constexpr std::uint8_t REPLY_COMPLETE = 0xFF;

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

// Bytes left on the line by an earlier exchange (a command stopped while the
// board was still answering) must never pass as a reply. At every open the
// line is drained until it has been quiet for LINE_QUIET_AT_OPEN_MS; a line
// still busy after LINE_DRAIN_LIMIT_MS is refused ("the board is still
// sending"). A board that trickles its bytes slower than that outlasts the
// drain, so after a reply whose content is used (the register snapshot, the
// download's start) the line is watched for ReplyQuietMs(longest gap
// between the reply's bytes): anything arriving then shows that the reply
// was not the board's answer to this request. Two opens and one watch, as a
// Quick Setting makes, cost 2 x 15 + 5 = 35 ms against a quiet board.
inline constexpr int LINE_QUIET_AT_OPEN_MS = 15;
inline constexpr int REPLY_QUIET_MIN_MS = 5;
inline constexpr int LINE_DRAIN_LIMIT_MS = 500;

constexpr int ReplyQuietMs(int longestGapMs) {
  return longestGapMs >= READ_INTERVAL_TIMEOUT_MS / 2 ? READ_INTERVAL_TIMEOUT_MS
         : 2 * longestGapMs > REPLY_QUIET_MIN_MS      ? 2 * longestGapMs
                                                      : REPLY_QUIET_MIN_MS;
}

// A write that cannot finish within this time fails, so a stuck device cannot
// hang a command. A 64-byte chunk needs 67 ms even at 9600 baud.
inline constexpr int WRITE_TIMEOUT_MS = 2000;

}  // namespace vorna
