#include "download/download_procedure.h"

#include <algorithm>
#include <string>

#include "download/hex_file.h"
#include "link/protocol.h"

namespace vorna {

std::int32_t DownloadLength(std::uint32_t topAddress) {
  return static_cast<std::int32_t>(topAddress - (USER_PROGRAM_START - 1));
}

namespace {

DownloadResult SendWindow(const HexImage& image, std::int32_t length, DeviceLink& link, const PortChoice& port,
                          const DownloadProgress& progress, std::string& failureReason) {
  if (!link.Open(port)) return DownloadResult::PortNotOpened;
  if (!link.StartDownload(static_cast<std::uint16_t>(length))) {
    failureReason = link.RefusalReason();
    link.ClosePort();
    return DownloadResult::Failure;
  }
  const auto total = static_cast<std::size_t>(length);
  const std::size_t chunks = (total + DOWNLOAD_CHUNK_SIZE - 1) / DOWNLOAD_CHUNK_SIZE;
  std::size_t sent = 0;
  while (sent < total) {
    const std::size_t remaining = total - sent;
    const std::size_t count = std::min(remaining, DOWNLOAD_CHUNK_SIZE);
    const bool isLast = remaining <= DOWNLOAD_CHUNK_SIZE;
    if (!link.SendChunk(image.bytes.get() + USER_PROGRAM_START + sent, count, isLast)) {
      failureReason = "chunk " + std::to_string(sent / DOWNLOAD_CHUNK_SIZE + 1) + " of " + std::to_string(chunks) +
                      ": " + link.RefusalReason();
      link.ClosePort();
      return DownloadResult::Failure;
    }
    sent += count;
    if (progress) progress(sent, total);
  }
  link.ClosePort();
  return DownloadResult::Success;
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

const char* StatusText(DownloadResult result) {
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
  }
  return "";
}

}  // namespace

DownloadResult RunDownload(const std::string& path, DeviceLink& link, const PortChoice& port, MessageSink& sink,
                           const StatusSink& status, const DownloadProgress& progress, const WarningSink& warning,
                           const FailureReasonSink& failureReason, const ProblemApproval& approve) {
  DownloadResult result = DownloadResult::HexInvalid;
  std::string reason;
  {
    HexImage image;  // released at the end of this block, before the status is shown
    if (LoadHexFile(path, image, sink) == 0) {
      if (const std::string text = HexLineEndWarning(image.lines); !text.empty() && warning) warning(text);
      const std::int32_t length = DownloadLength(image.topAddress);
      if (length < 1 || length > static_cast<std::int32_t>(USER_PROGRAM_MAX_LENGTH)) {
        reason = WindowReason(image.content);
      } else if (image.content.count > 0 && !(approve && approve(HexProblemLines(image.content)))) {
        result = DownloadResult::Cancelled;
      } else {
        result = SendWindow(image, length, link, port, progress, reason);
      }
    }
  }
  if ((result == DownloadResult::Failure || !reason.empty()) && failureReason) failureReason(reason);
  if (status) status(StatusText(result));
  return result;
}

}  // namespace vorna
