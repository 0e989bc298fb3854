#pragma once
// Sending a user program: load the hex file, check that the image ends inside
// the user program window (link/protocol.h), and send the window to the board
// in chunks. Shared line for line by the desktop application and the
// command-line tool.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/translatable.h"
#include "link/device_link.h"
#include "link/message_sink.h"
#include "link/protocol.h"

namespace vorna {

inline constexpr const char* STATUS_HEX_INVALID = TRANSLATABLE("vorna", "Hex file is invalid");
inline constexpr const char* STATUS_DOWNLOAD_SUCCESS = TRANSLATABLE("vorna", "Download success");
inline constexpr const char* STATUS_DOWNLOAD_FAILURE = TRANSLATABLE("vorna", "Download failure");
inline constexpr const char* STATUS_DOWNLOAD_CANCELLED = TRANSLATABLE("vorna", "Download cancelled");
// A stop asked for before the start packet went out.
inline constexpr const char* STATUS_DOWNLOAD_STOPPED_BEFORE_START =
    TRANSLATABLE("vorna", "Download stopped before it began; nothing was sent to the board");

enum class DownloadOutcome {
  HexInvalid,     // the reader failed or the image does not end in the window
  Cancelled,      // the content check found problems and the download was not approved
  PortNotOpened,  // "Can not open ..." was reported; the status text is empty
  Failure,        // the board refused the start or a chunk, or did not answer
  Success,
  Stopped,  // a stop was asked for before the last chunk was accepted
};

// How a download ended and how far it came; each front end makes its own
// texts of it (DownloadStatusText is the status line both show).
struct DownloadResult {
  DownloadOutcome outcome = DownloadOutcome::HexInvalid;
  std::size_t sent = 0;   // bytes the board accepted
  std::size_t total = 0;  // bytes of the window to send; 0 until the image was found sendable
  bool started = false;   // the start packet may have reached the board
  // On a Failure, which step failed and why ("chunk 3 of 5: acknowledgement:
  // the board answered 15 (hex), not 00"); on HexInvalid for an image that
  // loaded, why it cannot be sent ("no data at 0x2000–0x3FFF; the file's
  // data lies at 0x0000–0x01FF"). Empty otherwise.
  std::string failureReason;
};

// "Download stopped after 2048 of 8192 bytes; the board holds an incomplete
// program": the status of a download stopped after its start, `sent` being
// the bytes the board accepted.
std::string DownloadStoppedText(std::size_t sent, std::size_t total);

// Bytes sent so far of the total, after each accepted chunk. Must not use the
// link.
using DownloadProgress = std::function<void(std::size_t sent, std::size_t total)>;
// Receives the reader's warning (HexLineEndWarning) as soon as a file has
// loaded and gives cause for one, so that it comes before whatever the
// transfer reports.
using WarningSink = std::function<void(const std::string& warning)>;
// Asked, once the file has loaded and before the port is opened, whether to
// send a file whose content check found problems (HexProblemLines); true
// sends it. Not asked for a clean file; no function at all is a no.
using ProblemApproval = std::function<bool(const std::vector<std::string>& problems)>;

// Asked before the port is opened, before the start and between chunks,
// on the thread that runs the download: true ends the download there, so a
// chunk on the wire is always finished. A start or chunk that fails while a
// stop is asked for (a transport that gives up on a stop signal) ends it as
// stopped too, not as a failure.
using StopRequested = std::function<bool()>;

// Number of window bytes to send for an image whose top address is
// `topAddress`, as a signed value; valid from 1 to USER_PROGRAM_MAX_LENGTH.
std::int32_t DownloadLength(std::uint32_t topAddress);

// The status text of a download: its outcome's line, or how far a stopped
// one came; "" when the port could not be opened (its message said why).
std::string DownloadStatusText(const DownloadResult& result);

// Loads `path`, opens `port` on `link` (whose sink also receives the
// reader's messages through `sink`), sends the window and closes the port on
// every path. The image is released before returning.
DownloadResult RunDownload(const std::string& path, DeviceLink& link, const PortChoice& port, MessageSink& sink,
                           const DownloadProgress& progress = {}, const WarningSink& warning = {},
                           const StopRequested& stopRequested = {}, const ProblemApproval& approve = {});

}  // namespace vorna
