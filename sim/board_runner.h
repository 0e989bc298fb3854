#pragma once
// The virtual board's event loop: moves bytes between the pseudo-terminal and
// the board's firmware at the line's pace, carries out what the firmware
// asks (replies, stored defaults, programs, hang-ups) and babbles when told.
// With a replay, the trace answers in the firmware's place.

#include <signal.h>

#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <vector>

#include "sim/board_protocol.h"
#include "sim/event_log.h"
#include "sim/line_pacer.h"
#include "sim/pseudo_terminal.h"
#include "sim/sim_options.h"
#include "sim/trace_replay.h"

namespace vorna::sim {

struct TimedByte {
  std::uint8_t value;
  Clock::time_point due;
};

class BoardRunner {
 public:
  BoardRunner(const SimOptions& options, const BoardState& initial, PseudoTerminal& terminal, EventLog& log,
              std::optional<TraceReplay> replay = std::nullopt)
      : options_(options),
        protocol_(initial, options.faults),
        replay_(std::move(replay)),
        terminal_(terminal),
        log_(log),
        incomingLine_(options.baud),
        outgoingLine_(options.baud) {}

  // Serves until `stopSignal` is set by a signal handler (then returns its
  // value, the signal's number) or until the board hangs up on purpose (then
  // 0). Signals stay blocked except while waiting, with `waitMask` in force.
  int Run(const sigset_t& waitMask, const volatile sig_atomic_t& stopSignal);

 private:
  // `through[i]` is when input byte i of the batch is through the line.
  void Handle(const std::vector<BoardEvent>& events, std::span<const Clock::time_point> through);
  void Replay(std::span<const std::uint8_t> bytes, std::span<const Clock::time_point> through);
  // Writes the files the last requests asked for. Runs after the replies
  // that are due have been sent, so that writing never delays them.
  void WriteFiles();
  void StoreDefaults(const BoardState& state);
  void KeepProgram(std::span<const std::uint8_t> program);
  void Queue(std::span<const std::uint8_t> bytes, Clock::time_point earliest, Clock::duration spacing);
  void CheckIdle(Clock::time_point now);
  void ReadFromHost();
  // False when the device has to hang up now.
  bool SendDue(Clock::time_point now);
  std::optional<Clock::time_point> NextWake() const;
  // `waitForHost`: until the host has read the last reply, as far as can
  // be told.
  void HangUp(bool waitForHost);

  const SimOptions& options_;
  BoardProtocol protocol_;
  std::optional<TraceReplay> replay_;
  PseudoTerminal& terminal_;
  EventLog& log_;
  LinePacer incomingLine_;
  LinePacer outgoingLine_;
  std::deque<TimedByte> outgoing_;
  Clock::time_point lastArrival_ = Clock::now();
  Clock::time_point nextBabble_ = Clock::now() + std::chrono::milliseconds(BABBLE_INTERVAL_MS);
  bool writeBlocked_ = false;
  bool hangUpWhenSent_ = false;
  // When the replayed board hangs up, once all before is sent.
  std::optional<Clock::time_point> replayHangUp_;
  std::optional<BoardState> pendingStore_;
  std::optional<std::vector<std::uint8_t>> pendingProgram_;
};

}  // namespace vorna::sim
