#pragma once
// The virtual board's firmware: consumes the bytes the host sends and says
// what the board answers and does. No I/O and no clock here, so every command
// and every fault can be driven byte by byte from a unit test; the event loop
// (board_runner.h) moves the bytes and carries out the side effects.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/hex_text.h"
#include "link/protocol.h"
#include "link/register_snapshot.h"

namespace vorna::sim {

// Registers A0 to A8 and the channel, in the order the board reports them.
using BoardState = RegisterSnapshot;

// What the board holds after power-on when nothing was stored: the
// transmitter's default settings.
BoardState PowerOnState();

// Replies that are not echoes.
inline constexpr std::uint8_t REPLY_REFUSED = 0x01;
inline constexpr std::uint8_t STORE_DEFAULTS_REPLY = 0x00;
// Second byte of the two-byte download replies; hosts ignore it.
inline constexpr std::uint8_t REPLY_FILLER = 0x00;

// Deliberate misbehaviour, for testing how the host copes. Counts are
// 1-based ("the 3rd register write").
struct BoardFaults {
  std::optional<unsigned> corruptEcho;            // this register write's echo gets one byte changed
  std::optional<std::size_t> shortRegisters;      // register reads deliver only this many bytes
  std::array<bool, COMMAND_CODE_COUNT> silent{};  // commands carried out but not answered
  bool silentChunk = false;                       // chunks taken but not acknowledged
  bool refuseStart = false;                       // every download start refused
  std::optional<unsigned> refuseChunk;            // this chunk of each download refused
  bool badFinalAck = false;                       // completion reply 00 00 instead of FF 00
  std::optional<unsigned> hangupAfterChunks;      // unplug after this many chunks since start
  bool mute = false;                              // carries out everything, sends nothing
};

// One thing the board does in answer to input; a batch of input gives a
// list of them, in the order they happen.
struct BoardEvent {
  enum class Kind {
    Log,              // `text`: one line for the traffic log
    Reply,            // `bytes`: to be sent to the host
    StoreDefaults,    // `state`: to be kept as the power-on defaults
    ProgramReceived,  // `bytes`: a complete program
    HangUp,           // unplug once everything before has been sent
  };
  Kind kind;
  std::string text;
  std::vector<std::uint8_t> bytes;
  BoardState state;
  // Index, within the batch fed, of the byte that led to the event: on a
  // paced line nothing can happen before that byte is through.
  std::size_t cause = 0;
};

class BoardProtocol {
 public:
  BoardProtocol(const BoardState& initial, const BoardFaults& faults);

  // Consumes bytes that arrived together. Bytes outside a frame are logged
  // as one line per run within the batch.
  std::vector<BoardEvent> Feed(std::span<const std::uint8_t> bytes);

  // True in the middle of a frame or of a download, where silence from the
  // host means it gave up.
  bool AwaitingMore() const { return mode_ != Mode::Idle; }

  // The host went quiet: drop a partial frame or download, so that the next
  // session's commands are read as commands again.
  std::vector<BoardEvent> InputIdle();

  const BoardState& state() const { return state_; }

  // For an in-memory board whose registers and faults a test changes
  // between batches; counts and a frame in progress are kept.
  void SetState(const BoardState& state) { state_ = state; }
  void SetFaults(const BoardFaults& faults) { faults_ = faults; }

 private:
  enum class Mode { Idle, Length, Body, Program };

  void TakeFrameByte(std::uint8_t byte, std::vector<BoardEvent>& events);
  void TakeProgramByte(std::uint8_t byte, std::vector<BoardEvent>& events);
  void Dispatch(std::vector<BoardEvent>& events);
  void SetChannel(std::vector<BoardEvent>& events);
  void WriteRegister(std::vector<BoardEvent>& events);
  void ReadRegisters(std::vector<BoardEvent>& events);
  void StoreDefaults(std::vector<BoardEvent>& events);
  void StartDownload(std::vector<BoardEvent>& events);
  void FinishChunk(std::vector<BoardEvent>& events);
  // `silencedBy` names the fault option that withholds the reply, if any.
  void Send(std::vector<std::uint8_t> bytes, bool silenced, std::string_view silencedBy,
            std::vector<BoardEvent>& events) const;
  std::size_t NextChunkSize() const;
  void FlushIgnored(std::vector<BoardEvent>& events);

  BoardState state_;
  BoardFaults faults_;
  Mode mode_ = Mode::Idle;
  std::vector<std::uint8_t> frame_;    // lead, length and body so far
  std::vector<std::uint8_t> ignored_;  // run of bytes outside any frame
  std::vector<std::uint8_t> program_;  // download so far
  std::vector<std::uint8_t> chunk_;    // current chunk so far
  std::size_t programLength_ = 0;
  unsigned chunkInDownload_ = 0;
  unsigned registerWrites_ = 0;
  unsigned chunksSinceStart_ = 0;
};

}  // namespace vorna::sim
