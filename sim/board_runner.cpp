#include "sim/board_runner.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>
#include <utility>

#include "base/hex_text.h"
#include "link/port_names.h"
#include "sim/state_file.h"

namespace vorna::sim {
namespace {

// A host that stays silent this long in the middle of a frame or a download
// has given up; the board drops what it had so the next session is read
// from a clean start.
constexpr auto INPUT_IDLE_RESET = std::chrono::milliseconds(1000);
// Never a lead byte, nor a reply code the host accepts.
constexpr std::uint8_t BABBLE_BYTES[] = {0x5A, 0xC3, 0x3C};
constexpr std::size_t READ_BUFFER_SIZE = 4096;
// Unplugging drops what the host has not read, so a deliberate hang-up waits
// until the host has read the last reply. A host writes its next request
// only once it has read the reply to the one before, so its next bytes show
// it; the device's count of unread bytes cannot, as the kernel moves sent
// bytes into the device a moment later (on a loaded machine, many
// moments). A host that writes nothing more is given its longest read
// time-out.
constexpr auto HANG_UP_LIMIT = std::chrono::milliseconds(ReadTotalTimeoutMs(REGISTER_SNAPSHOT_SIZE));
// A host writes each request whole, so its bytes come together: after this
// long without more, a request that differs from the trace is complete.
constexpr auto REQUEST_GAP = std::chrono::milliseconds(20);

}  // namespace

void BoardRunner::Handle(const std::vector<BoardEvent>& events, std::span<const Clock::time_point> through) {
  for (const auto& event : events) {
    switch (event.kind) {
      case BoardEvent::Kind::Log:
        log_.Write(event.text);
        break;
      case BoardEvent::Kind::Reply:
        Queue(event.bytes, through.empty() ? Clock::now() : through[event.cause],
              options_.dripMs ? Clock::duration(std::chrono::milliseconds(*options_.dripMs)) : Clock::duration::zero());
        break;
      case BoardEvent::Kind::StoreDefaults:
        pendingStore_ = event.state;
        break;
      case BoardEvent::Kind::ProgramReceived:
        pendingProgram_ = event.bytes;
        break;
      case BoardEvent::Kind::HangUp:
        hangUpWhenSent_ = true;
        break;
    }
  }
}

void BoardRunner::Replay(std::span<const std::uint8_t> bytes, std::span<const Clock::time_point> through) {
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const ReplayExchange* exchange = replay_->Take(bytes[i]);
    if (exchange == nullptr) continue;
    log_.Write("<- " + HexBytes(exchange->request));
    const auto spacing =
        options_.dripMs ? Clock::duration(std::chrono::milliseconds(*options_.dripMs)) : Clock::duration::zero();
    for (const ReplyChunk& chunk : exchange->reply) {
      log_.Write("-> " + HexBytes(chunk.bytes));
      Queue(chunk.bytes, through[i] + (options_.replayTiming ? chunk.delay : Clock::duration::zero()), spacing);
    }
    if (exchange->hangUpAfter) replayHangUp_ = through[i] + *exchange->hangUpAfter;
  }
}

void BoardRunner::WriteFiles() {
  if (pendingStore_) StoreDefaults(*std::exchange(pendingStore_, std::nullopt));
  if (pendingProgram_) KeepProgram(*std::exchange(pendingProgram_, std::nullopt));
}

void BoardRunner::StoreDefaults(const BoardState& state) {
  if (options_.statePath.empty()) {
    log_.Write("# defaults not kept: no --state file");
    return;
  }
  const std::string text = FormatStateFile(state);
  const std::string error =
      WriteFileAtomically(options_.statePath, {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
  log_.Write(error.empty() ? "# defaults stored in " + options_.statePath : "# defaults not stored: " + error);
}

void BoardRunner::KeepProgram(std::span<const std::uint8_t> program) {
  if (options_.programPath.empty()) {
    log_.Write("# program not kept: no --program-out file");
    return;
  }
  const std::string error = WriteFileAtomically(options_.programPath, program);
  log_.Write(error.empty() ? "# program written to " + options_.programPath : "# program not written: " + error);
}

void BoardRunner::Queue(std::span<const std::uint8_t> bytes, Clock::time_point earliest, Clock::duration spacing) {
  const auto due = outgoingLine_.Schedule(bytes.size(), std::max(earliest, Clock::now()), spacing);
  for (std::size_t i = 0; i < bytes.size(); ++i) outgoing_.push_back({bytes[i], due[i]});
}

void BoardRunner::CheckIdle(Clock::time_point now) {
  if (protocol_.AwaitingMore() && now - lastArrival_ >= INPUT_IDLE_RESET) Handle(protocol_.InputIdle(), {});
  if (replay_ && replay_->Differs() && now - lastArrival_ >= REQUEST_GAP) log_.Write(replay_->DropDiffering());
}

void BoardRunner::ReadFromHost() {
  // One read per wake-up: whatever is left makes the next wait return at
  // once, and an exchange costs no extra call.
  std::uint8_t buffer[READ_BUFFER_SIZE];
  const ssize_t n = ::read(terminal_.master(), buffer, sizeof buffer);
  if (n <= 0) return;
  // The board works ahead on what it read, but every reply waits until the
  // byte that asked for it would have crossed the line.
  const auto through = incomingLine_.Schedule(static_cast<std::size_t>(n), Clock::now());
  lastArrival_ = through.back();
  if (replay_) {
    Replay({buffer, static_cast<std::size_t>(n)}, through);
  } else {
    Handle(protocol_.Feed({buffer, static_cast<std::size_t>(n)}), through);
  }
}

bool BoardRunner::SendDue(Clock::time_point now) {
  while (!writeBlocked_ && !outgoing_.empty() && outgoing_.front().due <= now) {
    std::vector<std::uint8_t> batch;
    for (auto it = outgoing_.begin(); it != outgoing_.end() && it->due <= now; ++it) batch.push_back(it->value);
    const ssize_t n = ::write(terminal_.master(), batch.data(), batch.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      // The host is not reading and the device's input queue is full.
      writeBlocked_ = true;
      break;
    }
    if (n < 0) {
      log_.Write(std::string("# send failed: ") + std::strerror(errno) + ", " + std::to_string(batch.size()) +
                 " bytes dropped");
      outgoing_.erase(outgoing_.begin(), outgoing_.begin() + static_cast<std::ptrdiff_t>(batch.size()));
      continue;
    }
    outgoing_.erase(outgoing_.begin(), outgoing_.begin() + n);
  }
  return !((hangUpWhenSent_ || (replayHangUp_ && now >= *replayHangUp_)) && outgoing_.empty());
}

std::optional<Clock::time_point> BoardRunner::NextWake() const {
  std::optional<Clock::time_point> wake;
  auto consider = [&wake](Clock::time_point at) {
    if (!wake || at < *wake) wake = at;
  };
  if (!outgoing_.empty() && !writeBlocked_) consider(outgoing_.front().due);
  if (protocol_.AwaitingMore()) consider(lastArrival_ + INPUT_IDLE_RESET);
  if (replay_ && replay_->Differs()) consider(lastArrival_ + REQUEST_GAP);
  if (replayHangUp_) consider(*replayHangUp_);
  if (options_.babble && !options_.faults.mute) consider(nextBabble_);
  return wake;
}

void BoardRunner::HangUp(bool waitForHost) {
  const auto limit = waitForHost ? Clock::now() + HANG_UP_LIMIT : Clock::now();
  for (auto now = Clock::now(); now < limit; now = Clock::now()) {
    pollfd master{terminal_.master(), POLLIN, 0};
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(limit - now);
    if (::poll(&master, 1, static_cast<int>(left.count())) > 0 && master.revents != 0) break;
  }
  terminal_.HangUp();
  log_.Write("# hung up");
  log_.Flush();
}

int BoardRunner::Run(const sigset_t& waitMask, const volatile sig_atomic_t& stopSignal) {
  while (stopSignal == 0) {
    const auto now = Clock::now();
    CheckIdle(now);
    if (options_.babble && !options_.faults.mute && now >= nextBabble_) {
      // Only into silence: the babble never splits a reply.
      if (outgoing_.empty() && !hangUpWhenSent_) Queue(BABBLE_BYTES, now, Clock::duration::zero());
      nextBabble_ = now + std::chrono::milliseconds(BABBLE_INTERVAL_MS);
    }
    // The log has every line of a request, and the state or program file
    // its command produced, before its reply can arrive: a host that reads
    // the reply may look at them at once.
    log_.Flush();
    WriteFiles();
    const bool keepServing = SendDue(Clock::now());
    if (!keepServing) {
      // The trace's hang-up comes when the host saw it; the board's own
      // waits for the host to take its last reply.
      HangUp(hangUpWhenSent_);
      return 0;
    }

    pollfd master{terminal_.master(), static_cast<short>(POLLIN | (writeBlocked_ ? POLLOUT : 0)), 0};
    timespec timeout{};
    const timespec* timeoutPointer = nullptr;
    if (const auto wake = NextWake()) {
      const auto left = std::max(Clock::duration::zero(), *wake - Clock::now());
      const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(left);
      timeout.tv_sec = static_cast<time_t>(seconds.count());
      timeout.tv_nsec = static_cast<long>(std::chrono::duration_cast<std::chrono::nanoseconds>(left - seconds).count());
      timeoutPointer = &timeout;
    }
    log_.Flush();
    // Stop signals are blocked everywhere but here, so none slips in
    // between the check above and the wait.
    if (::ppoll(&master, 1, timeoutPointer, &waitMask) < 0) continue;
    if ((master.revents & POLLOUT) != 0) writeBlocked_ = false;
    if ((master.revents & POLLIN) != 0) ReadFromHost();
  }
  WriteFiles();
  return stopSignal;
}

}  // namespace vorna::sim
