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

// How far a transfer came, for its status text.
struct Transfer {
  std::size_t sent = 0;
  std::size_t total = 0;
  bool started = false;  // the start packet may have reached the board
  std::string failureReason;
};

// Opens the port, sends the window and closes the port.
DownloadResult SendThroughPort(const HexImage& image, DeviceLink& link, const PortChoice& port,
                               const DownloadProgress& progress, const std::function<bool()>& stopping,
                               Transfer& transfer) {
  PortSession session(link, port);
  if (!session) return DownloadResult::PortNotOpened;
  if (stopping()) return DownloadResult::Stopped;
  transfer.started = true;
  if (const LinkResult<> started = link.StartDownload(static_cast<std::uint16_t>(transfer.total)); !started) {
    transfer.failureReason = started.failure().Text();
    return DownloadResult::Failure;
  }
  const std::size_t chunks = (transfer.total + DOWNLOAD_CHUNK_SIZE - 1) / DOWNLOAD_CHUNK_SIZE;
  while (transfer.sent < transfer.total) {
    if (stopping()) return DownloadResult::Stopped;
    const std::size_t remaining = transfer.total - transfer.sent;
    const std::size_t count = std::min(remaining, DOWNLOAD_CHUNK_SIZE);
    const bool isLast = remaining <= DOWNLOAD_CHUNK_SIZE;
    const LinkResult<> sent = link.SendChunk({image.bytes.get() + USER_PROGRAM_START + transfer.sent, count}, isLast);
    if (!sent) {
      transfer.failureReason = "chunk " + std::to_string(transfer.sent / DOWNLOAD_CHUNK_SIZE + 1) + " of " +
                               std::to_string(chunks) + ": " + sent.failure().Text();
      return DownloadResult::Failure;
    }
    transfer.sent += count;
    if (progress) progress(transfer.sent, transfer.total);
  }
  return DownloadResult::Success;
}

DownloadResult SendWindow(const HexImage& image, DeviceLink& link, const PortChoice& port,
                          const DownloadProgress& progress, const StopRequested& stopRequested, Transfer& transfer) {
  const std::function<bool()> stopping = [&stopRequested] { return stopRequested && stopRequested(); };
  if (stopping()) return DownloadResult::Stopped;
  const DownloadResult result = SendThroughPort(image, link, port, progress, stopping, transfer);
  // A failure while a stop is asked for is the stop's doing.
  return result == DownloadResult::Failure && stopping() ? DownloadResult::Stopped : result;
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

std::string StatusText(DownloadResult result, const Transfer& transfer) {
  switch (result) {
    case DownloadResult::HexInvalid:
      return STATUS_HEX_INVALID;
    case DownloadResult::Cancelled:
      return STATUS_DOWNLOAD_CANCELLED;
    case DownloadResult::PortNotOpened:
      return "";
    case DownloadResult::Failure:
      return STATUS_DOWNLOAD_FAILURE;
    case DownloadResult::Success:
      return STATUS_DOWNLOAD_SUCCESS;
    case DownloadResult::Stopped:
      return transfer.started ? DownloadStoppedText(transfer.sent, transfer.total)
                              : STATUS_DOWNLOAD_STOPPED_BEFORE_START;
  }
  return "";
}

}  // namespace

std::string DownloadStoppedText(std::size_t sent, std::size_t total) {
  return "Download stopped after " + std::to_string(sent) + " of " + std::to_string(total) +
         " bytes; the board holds an incomplete program";
}

DownloadResult RunDownload(const std::string& path, DeviceLink& link, const PortChoice& port, MessageSink& sink,
                           const StatusSink& status, const DownloadProgress& progress, const WarningSink& warning,
                           const FailureReasonSink& failureReason, const StopRequested& stopRequested,
                           const ProblemApproval& approve) {
  DownloadResult result = DownloadResult::HexInvalid;
  Transfer transfer;
  {
    HexImage image;  // released at the end of this block, before the status is shown
    if (LoadHexFile(path, image, sink) == 0) {
      if (const std::string text = HexLineEndWarning(image.lines); !text.empty() && warning) warning(text);
      const std::int32_t length = DownloadLength(image.topAddress);
      if (length < 1 || length > static_cast<std::int32_t>(USER_PROGRAM_MAX_LENGTH)) {
        transfer.failureReason = WindowReason(image.content);
      } else if (image.content.count > 0 && !(approve && approve(HexProblemLines(image.content)))) {
        result = DownloadResult::Cancelled;
      } else {
        transfer.total = static_cast<std::size_t>(length);
        result = SendWindow(image, link, port, progress, stopRequested, transfer);
      }
    }
  }
  // A stop that cut a chunk short is no failure: its status says how far it
  // came.
  const bool explained =
      result == DownloadResult::Failure || (result == DownloadResult::HexInvalid && !transfer.failureReason.empty());
  if (explained && failureReason) failureReason(transfer.failureReason);
  if (status) status(StatusText(result, transfer));
  return result;
}

}  // namespace vorna
