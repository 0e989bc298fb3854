#include "app/running_status.h"

#include <utility>

#include "app/board_worker.h"
#include "app/main_window.h"

namespace vorna {

RunningStatus::RunningStatus(MainWindow& window, BoardWorker& worker)
    : window_(window), worker_(worker), kept_(window.StatusText()) {}

RunningStatus::~RunningStatus() {
  Settle();
  window_.AnnounceStatus();
}

PortResolver RunningStatus::Announcing(PortResolver resolver, std::function<void()> onFound) {
  return [this, resolver = std::move(resolver), onFound = std::move(onFound)](int portNumber) {
    PortLookup found = resolver(portNumber);
    if (!found.device.empty()) {
      worker_.OnGui([this, &found, &onFound, portNumber] {
        if (!doing_.empty()) window_.SetStatusText(doing_ + " " + PortLabel(portNumber, found) + "\u2026");
        if (onFound) onFound();
      });
    }
    return found;
  };
}

void RunningStatus::Show(const std::string& text) {
  kept_ = text;
  Settle();
}

void RunningStatus::Settle() {
  if (window_.StatusText() != kept_) window_.SetStatusText(kept_);
}

}  // namespace vorna
