#include "cli/board_discovery.h"

#include <optional>

#include "base/quoted_text.h"
#include "cli/port_listing.h"

namespace vorna::cli {

BoardSearch SearchBoards(const Environment& env) {
  BoardSearch search;
  const std::optional<std::string> variable = env.variable ? env.variable(BOARD_IDS_VARIABLE) : std::nullopt;
  BoardIds ids = LoadBoardIds(env.portRoots.boardsFile, variable);
  if (!ids.problems.empty()) {
    search.problems = std::move(ids.problems);
    return search;
  }
  const PortDiscovery discovery = DiscoverPorts(env.portRoots, HoldCheck::Skip);
  search.error = discovery.error;
  search.boards = BoardCandidates(discovery, ids.ids);
  if (!discovery.ports.empty()) search.seen = PortTableLines(discovery.ports);
  return search;
}

std::string NoBoardText(const BoardSearch& search) {
  return search.seen.empty() ? "no board found: no serial device" : "no board found among these serial devices:";
}

std::string SeveralBoardsText(const std::vector<BoardCandidate>& boards) {
  std::string text = "several boards: ";
  for (std::size_t i = 0; i < boards.size(); ++i) {
    const DiscoveredPort& port = boards[i].port;
    std::string name = port.device;
    std::string details = port.serial.empty() ? std::string() : "serial " + port.serial;
    // A device that no number reaches is named by itself.
    if (boards[i].portNumber > 0) {
      name = "COM" + std::to_string(boards[i].portNumber);
      details = port.device + (details.empty() ? "" : ", " + details);
    }
    text += (i > 0 ? ", " : "") + name + (details.empty() ? "" : " (" + details + ")");
  }
  // The device's serial and a link's target come from outside.
  return EscapeControls(text + ": choose one with --port");
}

}  // namespace vorna::cli
