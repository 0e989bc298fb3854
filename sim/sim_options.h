#pragma once
// The virtual board's command line.

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "sim/board_protocol.h"

namespace vorna::sim {

// How often a babbling board sends its unsolicited bytes.
inline constexpr unsigned BABBLE_INTERVAL_MS = 50;

struct SimOptions {
  std::string statePath;           // stored defaults; none: kept in memory only
  std::string programPath;         // last program received; none: not kept
  std::string logPath;             // traffic log; "-" is standard error; none: no log
  std::optional<int> comPort;      // publish the device as COM<n> in the port-alias folder
  std::optional<unsigned> baud;    // pace both directions as a line at this rate would
  std::optional<unsigned> dripMs;  // send reply bytes one at a time, this far apart
  bool babble = false;             // send unsolicited bytes now and then
  std::string replayPath;          // answer from this trace instead of as the board does
  std::string replayPort;          // the trace's port to replay; none: its only one
  bool replayTiming = false;       // replay the replies at their recorded delays
  BoardFaults faults;
};

struct OptionsParse {
  SimOptions options;
  bool help = false;
  bool version = false;
  std::string error;  // bad usage when not empty
};

// `args` without the program name. Accepts "--name value" and "--name=value".
OptionsParse ParseSimOptions(std::span<const std::string_view> args);

std::string UsageText(std::string_view program);

// "<program> <version>" and a line end.
std::string VersionText(std::string_view program);

}  // namespace vorna::sim
