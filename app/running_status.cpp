#include "app/running_status.h"

#include <QFile>
#include <QFileInfo>

#include <utility>

#include "app/board_worker.h"
#include "app/main_window.h"

namespace vorna {
namespace {

// What follows "COMn": the device itself rather than a link to it (a port
// alias, a by-id name), in parentheses; nothing for Windows' own name of
// port n, which says no more than the number and is no file to look into.
std::string DeviceNote(int portNumber, const std::string& path) {
  if (path == WindowsComDevice(portNumber)) return {};
  const QString device = QFileInfo(QFile::decodeName(QByteArray::fromStdString(path))).canonicalFilePath();
  return " (" + (device.isEmpty() ? path : QFile::encodeName(device).toStdString()) + ")";
}

}  // namespace

RunningStatus::RunningStatus(MainWindow& window, BoardWorker& worker)
    : window_(window), worker_(worker), kept_(window.StatusText()) {}

RunningStatus::~RunningStatus() { Settle(); }

PortResolver RunningStatus::Announcing(PortResolver resolver, std::function<void()> onFound) {
  return [this, resolver = std::move(resolver), onFound = std::move(onFound)](int portNumber) {
    PortLookup found = resolver(portNumber);
    if (!found.device.empty()) {
      worker_.OnGui([this, &found, &onFound, portNumber] {
        if (!doing_.empty())
          window_.SetStatusText(doing_ + " COM" + std::to_string(portNumber) + DeviceNote(portNumber, found.device) +
                                "\u2026");
        if (onFound) onFound();
      });
    }
    return found;
  };
}

void RunningStatus::Show(const std::string& text) {
  kept_ = text;
  window_.SetStatusText(text);
}

void RunningStatus::Settle() {
  if (window_.StatusText() != kept_) window_.SetStatusText(kept_);
}

}  // namespace vorna
