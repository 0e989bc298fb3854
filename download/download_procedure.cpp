#include "download/download_procedure.h"

#include <algorithm>

#include "download/hex_file.h"
#include "link/protocol.h"

namespace vorna {

std::int32_t DownloadLength(std::uint32_t topAddress) {
  return static_cast<std::int32_t>(topAddress - (USER_PROGRAM_START - 1));
}

namespace {

DownloadResult SendWindow(const HexImage& image, std::int32_t length, DeviceLink& link, const PortChoice& port,
                          const DownloadProgress& progress) {
  if (!link.Open(port)) return DownloadResult::PortNotOpened;
  if (!link.StartDownload(static_cast<std::uint16_t>(length))) {
    link.ClosePort();
    return DownloadResult::Failure;
  }
  const auto total = static_cast<std::size_t>(length);
  std::size_t sent = 0;
  while (sent < total) {
    const std::size_t remaining = total - sent;
    const std::size_t count = std::min(remaining, DOWNLOAD_CHUNK_SIZE);
    const bool isLast = remaining <= DOWNLOAD_CHUNK_SIZE;
    if (!link.SendChunk(image.bytes.get() + USER_PROGRAM_START + sent, count, isLast)) {
      link.ClosePort();
      return DownloadResult::Failure;
    }
    sent += count;
    if (progress) progress(sent, total);
  }
  link.ClosePort();
  return DownloadResult::Success;
}

const char* StatusText(DownloadResult result) {
  switch (result) {
    case DownloadResult::HexInvalid:
      return STATUS_HEX_INVALID;
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
                           const StatusSink& status, const DownloadProgress& progress,
                           const WarningSink& warning) {
  DownloadResult result = DownloadResult::HexInvalid;
  {
    HexImage image;  // released at the end of this block, before the status is shown
    if (LoadHexFile(path, image, sink) == 0) {
      if (const std::string text = HexLineEndWarning(image.lines); !text.empty() && warning) warning(text);
      const std::int32_t length = DownloadLength(image.topAddress);
      if (length >= 1 && length <= static_cast<std::int32_t>(USER_PROGRAM_MAX_LENGTH)) {
        result = SendWindow(image, length, link, port, progress);
      }
    }
  }
  if (status) status(StatusText(result));
  return result;
}

}  // namespace vorna
