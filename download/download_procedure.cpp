#include "download/download_procedure.h"

#include <algorithm>
#include <functional>
#include <string>

#include "download/hex_file.h"
#include "link/port_session.h"
#include "link/protocol.h"

namespace vorna {

std::int32_t DownloadLength(std::uint32_t topAddress) {
  return static_cast<std::int32_t>(topAddress - (USER_PROGRAM_START - 1));
}

namespace {

// Opens the port, sends the window and closes the port.
DownloadOutcome SendThroughPort(const HexImage& image, DeviceLink& link, const PortChoice& port,
                                const DownloadProgress& progress, const std::function<bool()>& stopping,
                                DownloadResult& transfer) {
  PortSession session(link, port);
  if (!session) return DownloadOutcome::PortNotOpened;
  if (stopping()) return DownloadOutcome::Stopped;
  transfer.started = true;
  if (const LinkResult<> started = link.StartDownload(static_cast<std::uint16_t>(transfer.total)); !started) {
    transfer.failureReason = started.failure().Text();
    return DownloadOutcome::Failure;
  }
  const std::size_t chunks = (transfer.total + DOWNLOAD_CHUNK_SIZE - 1) / DOWNLOAD_CHUNK_SIZE;
  while (transfer.sent < transfer.total) {
    if (stopping()) return DownloadOutcome::Stopped;
    const std::size_t remaining = transfer.total - transfer.sent;
    const std::size_t count = std::min(remaining, DOWNLOAD_CHUNK_SIZE);
    const bool isLast = remaining <= DOWNLOAD_CHUNK_SIZE;
    const LinkResult<> sent = link.SendChunk({image.bytes.get() + USER_PROGRAM_START + transfer.sent, count}, isLast);
    if (!sent) {
      transfer.failureReason = "chunk " + std::to_string(transfer.sent / DOWNLOAD_CHUNK_SIZE + 1) + " of " +
                               std::to_string(chunks) + ": " + sent.failure().Text();
      return DownloadOutcome::Failure;
    }
    transfer.sent += count;
    if (progress) progress(transfer.sent, transfer.total);
  }
  return DownloadOutcome::Success;
}

DownloadOutcome SendWindow(const HexImage& image, DeviceLink& link, const PortChoice& port,
                           const DownloadProgress& progress, const StopRequested& stopRequested,
                           DownloadResult& transfer) {
  const std::function<bool()> stopping = [&stopRequested] { return stopRequested && stopRequested(); };
  if (stopping()) return DownloadOutcome::Stopped;
  const DownloadOutcome outcome = SendThroughPort(image, link, port, progress, stopping, transfer);
  // A failure while a stop is asked for is the stop's doing.
  return outcome == DownloadOutcome::Failure && stopping() ? DownloadOutcome::Stopped : outcome;
}

// Why an image that loaded cannot be sent: where its data lie against the
// window.
std::string WindowReason(const HexContentReport& content) {
  const std::uint32_t windowEnd = USER_PROGRAM_START + USER_PROGRAM_MAX_LENGTH - 1;
  if (content.dataLow > content.dataHigh)
    return "no data at " + AddressRange(USER_PROGRAM_START, windowEnd) + "; the file holds no data";
  const std::string lies = "; the file's data lies at " + AddressRange(content.dataLow, content.dataHigh);
  if (content.dataHigh < USER_PROGRAM_START) return "no data at " + AddressRange(USER_PROGRAM_START, windowEnd) + lies;
  return "data beyond " + AddressRange(windowEnd, windowEnd) + lies;
}

}  // namespace

std::string DownloadStoppedText(std::size_t sent, std::size_t total) {
  return "Download stopped after " + std::to_string(sent) + " of " + std::to_string(total) +
         " bytes; the board holds an incomplete program";
}

std::string DownloadStatusText(const DownloadResult& result) {
  switch (result.outcome) {
    case DownloadOutcome::HexInvalid:
      return STATUS_HEX_INVALID;
    case DownloadOutcome::Cancelled:
      return STATUS_DOWNLOAD_CANCELLED;
    case DownloadOutcome::PortNotOpened:
      return "";
    case DownloadOutcome::Failure:
      return STATUS_DOWNLOAD_FAILURE;
    case DownloadOutcome::Success:
      return STATUS_DOWNLOAD_SUCCESS;
    case DownloadOutcome::Stopped:
      return result.started ? DownloadStoppedText(result.sent, result.total) : STATUS_DOWNLOAD_STOPPED_BEFORE_START;
  }
  return "";
}

DownloadResult RunDownload(const std::string& path, DeviceLink& link, const PortChoice& port, MessageSink& sink,
                           const DownloadProgress& progress, const WarningSink& warning,
                           const StopRequested& stopRequested, const ProblemApproval& approve) {
  DownloadResult result;
  {
    HexImage image;  // released at the end of this block, before the result goes back
    if (LoadHexFile(path, image, sink) == 0) {
      if (const std::string text = HexLineEndWarning(image.lines); !text.empty() && warning) warning(text);
      const std::int32_t length = DownloadLength(image.topAddress);
      if (length < 1 || length > static_cast<std::int32_t>(USER_PROGRAM_MAX_LENGTH)) {
        result.failureReason = WindowReason(image.content);
      } else if (image.content.count > 0 && !(approve && approve(HexProblemLines(image.content)))) {
        result.outcome = DownloadOutcome::Cancelled;
      } else {
        result.total = static_cast<std::size_t>(length);
        result.outcome = SendWindow(image, link, port, progress, stopRequested, result);
      }
    }
  }
  // A stop that cut a chunk short is no failure: its status says how far it
  // came.
  if (result.outcome == DownloadOutcome::Stopped) result.failureReason.clear();
  return result;
}

}  // namespace vorna
