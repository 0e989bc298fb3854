#include "sim/board_protocol.h"

#include <algorithm>

#include "model/transmitter_fields.h"

namespace vorna::sim {

namespace {

constexpr std::size_t FRAME_ARG0 = FRAME_PAYLOAD_INDEX;
constexpr std::size_t FRAME_ARG1 = FRAME_PAYLOAD_INDEX + 1;

// The corrupted echo differs in the value byte, in every bit.
constexpr std::uint8_t CORRUPTION_MASK = 0xFF;

std::string Hex2(std::uint8_t value) {
  std::string text;
  AppendHexByte(text, value);
  return text;
}

// A verdict reply: `first`, then filler.
std::vector<std::uint8_t> Verdict(std::uint8_t first) {
  std::vector<std::uint8_t> reply(VERDICT_REPLY_SIZE, REPLY_FILLER);
  reply[0] = first;
  return reply;
}

BoardEvent Log(std::string text) { return {BoardEvent::Kind::Log, std::move(text), {}, {}}; }

// The options that withhold replies, as the log names them.
constexpr std::string_view MUTE_OPTION = "--mute";
constexpr std::string_view SILENT_CHUNK_OPTION = "--silent chunk";
std::string SilencedBy(std::uint8_t command) { return "--silent " + std::to_string(command); }

std::string Plural(std::size_t count, const char* word) {
  return std::to_string(count) + " " + word + (count == 1 ? "" : "s");
}

}  // namespace

BoardState PowerOnState() { return PowerOnSnapshot(); }

BoardProtocol::BoardProtocol(const BoardState& initial, const BoardFaults& faults) : state_(initial), faults_(faults) {}

std::vector<BoardEvent> BoardProtocol::Feed(std::span<const std::uint8_t> bytes) {
  std::vector<BoardEvent> events;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const std::size_t before = events.size();
    if (mode_ == Mode::Program) {
      TakeProgramByte(bytes[i], events);
    } else {
      TakeFrameByte(bytes[i], events);
    }
    for (std::size_t e = before; e < events.size(); ++e) events[e].cause = i;
  }
  const std::size_t before = events.size();
  FlushIgnored(events);
  for (std::size_t e = before; e < events.size(); ++e) events[e].cause = bytes.empty() ? 0 : bytes.size() - 1;
  return events;
}

std::vector<BoardEvent> BoardProtocol::InputIdle() {
  std::vector<BoardEvent> events;
  FlushIgnored(events);
  switch (mode_) {
    case Mode::Idle:
      break;
    case Mode::Length:
    case Mode::Body:
      events.push_back(Log("# incomplete frame dropped: " + HexBytes(frame_)));
      break;
    case Mode::Program:
      events.push_back(Log("# download abandoned after " + std::to_string(program_.size() + chunk_.size()) + " of " +
                           Plural(programLength_, "byte")));
      break;
  }
  mode_ = Mode::Idle;
  frame_.clear();
  program_.clear();
  chunk_.clear();
  return events;
}

void BoardProtocol::FlushIgnored(std::vector<BoardEvent>& events) {
  if (ignored_.empty()) return;
  events.push_back(Log("# ignored " + Plural(ignored_.size(), "byte") + " outside a frame: " + HexBytes(ignored_)));
  ignored_.clear();
}

void BoardProtocol::TakeFrameByte(std::uint8_t byte, std::vector<BoardEvent>& events) {
  switch (mode_) {
    case Mode::Idle:
      if (byte != PACKET_LEAD) {
        ignored_.push_back(byte);
        return;
      }
      FlushIgnored(events);
      frame_.assign(1, byte);
      mode_ = Mode::Length;
      return;
    case Mode::Length:
      frame_.push_back(byte);
      if (byte == 0) {
        events.push_back(Log("<- " + HexBytes(frame_)));
        events.push_back(Log("# empty frame: no command"));
        mode_ = Mode::Idle;
      } else {
        mode_ = Mode::Body;
      }
      return;
    case Mode::Body:
      frame_.push_back(byte);
      if (frame_.size() == FRAME_HEADER_SIZE + frame_[FRAME_LENGTH_INDEX]) {
        mode_ = Mode::Idle;
        Dispatch(events);
      }
      return;
    case Mode::Program:
      return;
  }
}

void BoardProtocol::Dispatch(std::vector<BoardEvent>& events) {
  events.push_back(Log("<- " + HexBytes(frame_)));
  const std::uint8_t command = frame_[FRAME_CODE_INDEX];
  const CommandEntry* entry = FindCommand(command);
  if (entry == nullptr) {
    events.push_back(Log("# unknown command 0x" + Hex2(command) + ": no reply"));
    return;
  }
  const std::size_t expected = FrameSize(*entry);
  if (frame_.size() != expected) {
    events.push_back(Log("# command 0x" + Hex2(command) + " needs a frame of " + Plural(expected, "byte") + ", got " +
                         std::to_string(frame_.size()) + ": no reply"));
    return;
  }
  switch (command) {
    case CMD_SET_CHANNEL:
      SetChannel(events);
      break;
    case CMD_WRITE_REGISTER:
      WriteRegister(events);
      break;
    case CMD_READ_REGISTERS:
      ReadRegisters(events);
      break;
    case CMD_STORE_DEFAULTS:
      StoreDefaults(events);
      break;
    case CMD_DOWNLOAD:
      StartDownload(events);
      break;
  }
}

void BoardProtocol::Send(std::vector<std::uint8_t> bytes, bool silenced, std::string_view silencedBy,
                         std::vector<BoardEvent>& events) const {
  if (bytes.empty()) return;
  if (faults_.mute) {
    events.push_back(Log("# reply withheld (" + std::string(MUTE_OPTION) + "): " + HexBytes(bytes)));
  } else if (silenced) {
    events.push_back(Log("# reply withheld (" + std::string(silencedBy) + "): " + HexBytes(bytes)));
  } else {
    events.push_back(Log("-> " + HexBytes(bytes)));
    events.push_back({BoardEvent::Kind::Reply, {}, std::move(bytes), {}});
  }
}

void BoardProtocol::SetChannel(std::vector<BoardEvent>& events) {
  state_.bytes[SNAPSHOT_CHANNEL] = frame_[FRAME_ARG0];
  Send(frame_, faults_.silent[CMD_SET_CHANNEL], SilencedBy(CMD_SET_CHANNEL), events);
}

void BoardProtocol::WriteRegister(std::vector<BoardEvent>& events) {
  ++registerWrites_;
  const std::uint8_t address = frame_[FRAME_ARG0];
  const std::uint8_t value = frame_[FRAME_ARG1];
  const auto index = SnapshotIndexOfAddress(address);
  if (address == REG_PREFIX) {
    // The chip takes it; it changes nothing the board reports.
  } else if (index) {
    state_.bytes[*index] = value;
  } else {
    events.push_back(Log("# address 0x" + Hex2(address) + " names no register: nothing written"));
  }
  std::vector<std::uint8_t> echo = frame_;
  if (faults_.corruptEcho == registerWrites_) {
    echo[FRAME_ARG1] ^= CORRUPTION_MASK;
    events.push_back(Log("# fault: echo of register write " + std::to_string(registerWrites_) + " corrupted"));
  }
  Send(std::move(echo), faults_.silent[CMD_WRITE_REGISTER], SilencedBy(CMD_WRITE_REGISTER), events);
}

void BoardProtocol::ReadRegisters(std::vector<BoardEvent>& events) {
  std::vector<std::uint8_t> reply(state_.bytes.begin(), state_.bytes.end());
  if (faults_.shortRegisters && *faults_.shortRegisters < reply.size()) {
    reply.resize(*faults_.shortRegisters);
    events.push_back(Log("# fault: register read cut to " + Plural(reply.size(), "byte")));
  }
  Send(std::move(reply), faults_.silent[CMD_READ_REGISTERS], SilencedBy(CMD_READ_REGISTERS), events);
}

void BoardProtocol::StoreDefaults(std::vector<BoardEvent>& events) {
  events.push_back({BoardEvent::Kind::StoreDefaults, {}, {}, state_});
  Send(std::vector<std::uint8_t>(STORE_DEFAULTS_COMMAND.replySize, STORE_DEFAULTS_REPLY),
       faults_.silent[CMD_STORE_DEFAULTS], SilencedBy(CMD_STORE_DEFAULTS), events);
}

void BoardProtocol::StartDownload(std::vector<BoardEvent>& events) {
  const std::size_t length = frame_[FRAME_ARG0] | static_cast<std::size_t>(frame_[FRAME_ARG1]) << 8;
  const bool silenced = faults_.silent[CMD_DOWNLOAD];
  if (faults_.refuseStart) {
    events.push_back(Log("# fault: download start refused"));
    Send(Verdict(REPLY_REFUSED), silenced, SilencedBy(CMD_DOWNLOAD), events);
    return;
  }
  if (length == 0 || length > USER_PROGRAM_MAX_LENGTH) {
    events.push_back(Log("# download of " + Plural(length, "byte") + " refused: the board takes 1 to " +
                         std::to_string(USER_PROGRAM_MAX_LENGTH)));
    Send(Verdict(REPLY_REFUSED), silenced, SilencedBy(CMD_DOWNLOAD), events);
    return;
  }
  events.push_back(Log("# download of " + Plural(length, "byte") + " started"));
  mode_ = Mode::Program;
  programLength_ = length;
  program_.clear();
  program_.reserve(length);
  chunk_.clear();
  chunkInDownload_ = 0;
  Send(Verdict(REPLY_ACCEPTED), silenced, SilencedBy(CMD_DOWNLOAD), events);
}

std::size_t BoardProtocol::NextChunkSize() const {
  return std::min(DOWNLOAD_CHUNK_SIZE, programLength_ - program_.size());
}

void BoardProtocol::TakeProgramByte(std::uint8_t byte, std::vector<BoardEvent>& events) {
  chunk_.push_back(byte);
  if (chunk_.size() == NextChunkSize()) FinishChunk(events);
}

void BoardProtocol::FinishChunk(std::vector<BoardEvent>& events) {
  ++chunkInDownload_;
  ++chunksSinceStart_;
  events.push_back(Log("<- " + HexBytes(chunk_)));
  const bool refused = faults_.refuseChunk == chunkInDownload_;
  if (refused) {
    events.push_back(Log("# fault: chunk " + std::to_string(chunkInDownload_) + " refused, download abandoned"));
    Send(Verdict(REPLY_REFUSED), faults_.silentChunk, SILENT_CHUNK_OPTION, events);
    mode_ = Mode::Idle;
    program_.clear();
    chunk_.clear();
  } else {
    program_.insert(program_.end(), chunk_.begin(), chunk_.end());
    chunk_.clear();
    Send(Verdict(REPLY_ACCEPTED), faults_.silentChunk, SILENT_CHUNK_OPTION, events);
    if (program_.size() == programLength_) {
      mode_ = Mode::Idle;
      if (faults_.badFinalAck) {
        events.push_back(Log("# fault: completion reply without the completion code"));
        Send(Verdict(REPLY_ACCEPTED), false, {}, events);
      } else {
        Send(Verdict(REPLY_COMPLETE), false, {}, events);
      }
      events.push_back(Log("# download complete: " + Plural(program_.size(), "byte")));
      events.push_back({BoardEvent::Kind::ProgramReceived, {}, std::move(program_), {}});
      program_.clear();
    }
  }
  if (faults_.hangupAfterChunks == chunksSinceStart_) {
    events.push_back(Log("# fault: hanging up after " + Plural(chunksSinceStart_, "chunk")));
    events.push_back({BoardEvent::Kind::HangUp, {}, {}, {}});
  }
}

}  // namespace vorna::sim
