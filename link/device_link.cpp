#include "link/device_link.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <utility>

#include "base/hex_text.h"
#include "base/translatable.h"
#include "link/protocol.h"

namespace vorna {

namespace {

constexpr const char* TEXT_CAN_NOT_OPEN = "Can not open ";

std::string CountReason(std::size_t got, std::size_t wanted) {
  return std::to_string(got) + " of " + std::to_string(wanted) + " reply bytes arrived within the time-out (" +
         std::to_string(ReadTotalTimeoutMs(wanted)) + " ms at most)";
}

}  // namespace

struct ExchangePolicy {
  enum class OnFailure {
    ReportAndGoOn,  // report each failed step to the sink, run every step
    ReportAndStop,  // report the first failed step to the sink
    LeaveToCaller,  // report nothing and stop: the caller tells the failure
  };
  enum class Check {
    None,     // any reply, even none, will do
    Echo,     // the reply repeats the request
    Verdict,  // the reply's first byte is `verdict`; needs at least that byte
  };
  OnFailure onFailure = OnFailure::ReportAndGoOn;
  // Whether a reply shorter than asked for fails.
  bool wholeReply = false;
  // Whether the line must stay quiet after the reply (Transport::ReplyEnded):
  // for the replies whose content is used and that no echo check vouches
  // for. Watching after every chunk would slow the download.
  bool replyMustEnd = false;
  Check check = Check::None;
  std::uint8_t verdict = 0;
  // How each step's failure is named: the sink's message, or the step the
  // caller names (none when empty).
  std::string_view writeFailure{};
  std::string_view readFailure{};
  std::string_view replyFailure{};
};

namespace {

using OnFailure = ExchangePolicy::OnFailure;
using Check = ExchangePolicy::Check;

// What each command's exchange checks and what its failures are called.
constexpr ExchangePolicy SET_CHANNEL_POLICY{.onFailure = OnFailure::ReportAndGoOn,
                                            .writeFailure = TRANSLATABLE("vorna", "WriteFile error"),
                                            .readFailure = TRANSLATABLE("vorna", "ReadFile error")};
constexpr ExchangePolicy WRITE_REGISTER_POLICY{.onFailure = OnFailure::ReportAndGoOn,
                                               .wholeReply = true,
                                               .check = Check::Echo,
                                               .writeFailure = TRANSLATABLE("vorna", "Write error"),
                                               .readFailure = TRANSLATABLE("vorna", "Read error"),
                                               .replyFailure = TRANSLATABLE("vorna", "ReadData error")};
constexpr ExchangePolicy READ_REGISTERS_POLICY{.onFailure = OnFailure::ReportAndStop,
                                               .wholeReply = true,
                                               .replyMustEnd = true,
                                               .writeFailure = TRANSLATABLE("vorna", "Write error"),
                                               .readFailure = TRANSLATABLE("vorna", "Read error"),
                                               .replyFailure = TRANSLATABLE("vorna", "Read error")};
constexpr ExchangePolicy STORE_DEFAULTS_POLICY{.onFailure = OnFailure::ReportAndGoOn,
                                               .writeFailure = TRANSLATABLE("vorna", "WriteFile error"),
                                               .readFailure = TRANSLATABLE("vorna", "ReadFile error")};
constexpr ExchangePolicy DOWNLOAD_POLICY{.onFailure = OnFailure::LeaveToCaller,
                                         .wholeReply = true,
                                         .replyMustEnd = true,
                                         .check = Check::Verdict,
                                         .verdict = REPLY_ACCEPTED,
                                         .writeFailure = "start",
                                         .readFailure = "start",
                                         .replyFailure = "start"};
// Only the first byte of a chunk's replies counts. A chunk that cannot go
// out is told by the transport's reason alone.
constexpr ExchangePolicy CHUNK_POLICY{.onFailure = OnFailure::LeaveToCaller,
                                      .check = Check::Verdict,
                                      .verdict = REPLY_ACCEPTED,
                                      .readFailure = "acknowledgement",
                                      .replyFailure = "acknowledgement"};
constexpr ExchangePolicy COMPLETION_POLICY{.onFailure = OnFailure::LeaveToCaller,
                                           .check = Check::Verdict,
                                           .verdict = REPLY_COMPLETE,
                                           .readFailure = "completion",
                                           .replyFailure = "completion"};

}  // namespace

DeviceLink::DeviceLink(Transport& transport, MessageSink& sink, PortResolver resolver)
    : transport_(transport), sink_(sink), resolver_(std::move(resolver)) {}

DeviceLink::~DeviceLink() { ClosePort(); }

std::string DeviceLink::OnPort(std::string_view reason) const {
  return portName_.empty() ? std::string(reason) : portName_ + ": " + std::string(reason);
}

LinkFailure DeviceLink::Report(LinkFailure failure) {
  sink_.Report(failure.step, failure.reason);
  return failure;
}

LinkResult<> DeviceLink::OpenResolved(const PortLookup& lookup, const std::string& failureText) {
  ClosePort();
  if (lookup.device.empty()) return Report({failureText, OnPort(lookup.reason)});
  if (!transport_.Open(lookup.device)) return Report({failureText, OnPort(transport_.LastError())});
  return Done{};
}

LinkResult<> DeviceLink::OpenPort(int portNumber) {
  const PortLookup lookup = resolver_(portNumber);
  portName_ = PortLabel(portNumber, lookup);
  return OpenResolved(lookup, TEXT_CAN_NOT_OPEN + ("COM" + std::to_string(portNumber)));
}

LinkResult<> DeviceLink::OpenDevice(const std::string& path) {
  PortLookup lookup{path, path.empty() ? "no device path given" : ""};
  portName_ = path;
  return OpenResolved(lookup, TEXT_CAN_NOT_OPEN + path);
}

LinkResult<> DeviceLink::Open(const PortChoice& choice) {
  return choice.devicePath.empty() ? OpenPort(choice.number) : OpenDevice(choice.devicePath);
}

void DeviceLink::ClosePort() {
  if (transport_.IsOpen()) transport_.Close();
}

bool DeviceLink::IsOpen() const { return transport_.IsOpen(); }

LinkFailure DeviceLink::Fail(const ExchangePolicy& policy, std::string_view step, const std::string& detail) {
  if (policy.onFailure == OnFailure::LeaveToCaller) return {std::string(step), detail};
  return Report({std::string(step), OnPort(detail)});
}

LinkResult<> DeviceLink::Exchange(std::span<const std::uint8_t> request, std::span<std::uint8_t> reply,
                                  const ExchangePolicy& policy) {
  std::optional<LinkFailure> first;
  // Tells a failed step; true when the exchange goes on after it.
  const auto fail = [&](std::string_view step, const std::string& detail) {
    LinkFailure failure = Fail(policy, step, detail);
    if (!first) first = std::move(failure);
    return policy.onFailure == OnFailure::ReportAndGoOn;
  };
  const auto result = [&first]() -> LinkResult<> {
    if (first) return *first;
    return Done{};
  };
  if (!request.empty() && !transport_.Write(request) && !fail(policy.writeFailure, transport_.LastError()))
    return result();
  std::size_t got = 0;
  if (const auto count = transport_.Read(reply)) {
    got = *count;
  } else if (!fail(policy.readFailure, transport_.LastError())) {
    return result();
  }
  // A reply too short to check fails as such, whatever its bytes.
  const std::size_t needed = policy.wholeReply ? reply.size() : policy.check == Check::Verdict ? 1 : 0;
  if (got < needed) {
    fail(policy.replyFailure, CountReason(got, reply.size()));
    return result();
  }
  const auto arrived = reply.first(got);
  if (policy.check == Check::Echo && !std::ranges::equal(arrived, request)) {
    fail(policy.replyFailure, "the echo differs from the request");
    return result();
  }
  if (policy.check == Check::Verdict && arrived[0] != policy.verdict) {
    fail(policy.replyFailure,
         "the board answered " + HexBytes(arrived) + " (hex), not " + HexBytes({&policy.verdict, 1}));
    return result();
  }
  if (policy.replyMustEnd && !transport_.ReplyEnded()) fail(policy.replyFailure, transport_.LastError());
  return result();
}

LinkResult<> DeviceLink::SetChannel(std::uint8_t channel) {
  std::array<std::uint8_t, SET_CHANNEL_COMMAND.replySize> reply{};
  return Exchange(BuildFrame<SET_CHANNEL_COMMAND>(channel), reply, SET_CHANNEL_POLICY);
}

LinkResult<> DeviceLink::WriteRegister(std::uint8_t address, std::uint8_t value) {
  std::array<std::uint8_t, WRITE_REGISTER_COMMAND.replySize> reply{};
  return Exchange(BuildFrame<WRITE_REGISTER_COMMAND>(address, value), reply, WRITE_REGISTER_POLICY);
}

LinkResult<RegisterSnapshot> DeviceLink::ReadRegisters() {
  static_assert(READ_REGISTERS_COMMAND.replySize == REGISTER_SNAPSHOT_SIZE);
  RegisterSnapshot received;
  if (auto read = Exchange(BuildFrame<READ_REGISTERS_COMMAND>(), received.bytes, READ_REGISTERS_POLICY); !read)
    return read.failure();
  return received;
}

LinkResult<> DeviceLink::StoreDefaults() {
  std::array<std::uint8_t, STORE_DEFAULTS_COMMAND.replySize> reply{};
  return Exchange(BuildFrame<STORE_DEFAULTS_COMMAND>(), reply, STORE_DEFAULTS_POLICY);
}

LinkResult<> DeviceLink::StartDownload(std::uint16_t length) {
  std::array<std::uint8_t, DOWNLOAD_COMMAND.replySize> reply{};
  return Exchange(
      BuildFrame<DOWNLOAD_COMMAND>(static_cast<std::uint8_t>(length & 0xFF), static_cast<std::uint8_t>(length >> 8)),
      reply, DOWNLOAD_POLICY);
}

LinkResult<> DeviceLink::SendChunk(std::span<const std::uint8_t> bytes, bool isLast) {
  if (bytes.empty() || bytes.size() > DOWNLOAD_CHUNK_SIZE)
    return LinkFailure{{}, "a chunk of " + std::to_string(bytes.size()) + " bytes"};
  std::array<std::uint8_t, CHUNK_REPLY_SIZE> acknowledgement{};
  if (auto acknowledged = Exchange(bytes, acknowledgement, CHUNK_POLICY); !acknowledged || !isLast) return acknowledged;
  std::array<std::uint8_t, CHUNK_REPLY_SIZE> completion{};
  return Exchange({}, completion, COMPLETION_POLICY);
}

}  // namespace vorna
