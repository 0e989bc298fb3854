#include "link/device_link.h"

#include <array>
#include <string>
#include <utility>

#include "link/protocol.h"
#include "link/tracing_transport.h"

namespace vorna {

namespace {

constexpr const char* TEXT_WRITE_ERROR = "Write error";
constexpr const char* TEXT_READ_ERROR = "Read error";
constexpr const char* TEXT_READDATA_ERROR = "ReadData error";
constexpr const char* TEXT_WRITEFILE_ERROR = "WriteFile error";
constexpr const char* TEXT_READFILE_ERROR = "ReadFile error";
constexpr const char* TEXT_CAN_NOT_OPEN = "Can not open ";

std::string CountReason(std::size_t got, std::size_t wanted) {
  return std::to_string(got) + " of " + std::to_string(wanted) + " reply bytes arrived within the time-out (" +
         std::to_string(ReadTotalTimeoutMs(wanted)) + " ms at most)";
}

}  // namespace

DeviceLink::DeviceLink(Transport& transport, MessageSink& sink, PortResolver resolver)
    : transport_(transport), sink_(sink), resolver_(std::move(resolver)) {}

DeviceLink::~DeviceLink() { ClosePort(); }

void DeviceLink::Report(std::string_view text) { sink_.Report(text, transport_.LastError()); }

bool DeviceLink::OpenResolved(const PortLookup& lookup, const std::string& failureText) {
  ClosePort();
  if (lookup.device.empty()) {
    sink_.Report(failureText, lookup.reason);
    return false;
  }
  if (!transport_.Open(lookup.device)) {
    sink_.Report(failureText, lookup.device + ": " + transport_.LastError());
    return false;
  }
  return true;
}

bool DeviceLink::OpenPort(int portNumber) {
  return OpenResolved(resolver_(portNumber), TEXT_CAN_NOT_OPEN + ("COM" + std::to_string(portNumber)));
}

bool DeviceLink::OpenDevice(const std::string& path) {
  PortLookup lookup{path, path.empty() ? "no device path given" : ""};
  return OpenResolved(lookup, TEXT_CAN_NOT_OPEN + path);
}

bool DeviceLink::Open(const PortChoice& choice) {
  return choice.devicePath.empty() ? OpenPort(choice.number) : OpenDevice(choice.devicePath);
}

void DeviceLink::ClosePort() {
  if (transport_.IsOpen()) transport_.Close();
}

bool DeviceLink::IsOpen() const { return transport_.IsOpen(); }

bool DeviceLink::SetChannel(std::uint8_t channel) {
  const std::array<std::uint8_t, SET_CHANNEL_REQUEST_SIZE> request = {PACKET_LEAD, 0x02, CMD_SET_CHANNEL,
                                                                      channel};
  bool ok = true;
  if (!transport_.Write(request.data(), request.size())) {
    Report(TEXT_WRITEFILE_ERROR);
    ok = false;
  }
  std::array<std::uint8_t, SET_CHANNEL_REPLY_SIZE> reply{};
  if (!transport_.Read(reply.data(), reply.size())) {
    Report(TEXT_READFILE_ERROR);
    ok = false;
  }
  return ok;
}

bool DeviceLink::WriteRegister(std::uint8_t address, std::uint8_t value) {
  const std::array<std::uint8_t, WRITE_REGISTER_REQUEST_SIZE> request = {PACKET_LEAD, 0x03, CMD_WRITE_REGISTER,
                                                                         address, value};
  bool ok = true;
  if (!transport_.Write(request.data(), request.size())) {
    Report(TEXT_WRITE_ERROR);
    ok = false;
  }
  std::array<std::uint8_t, WRITE_REGISTER_REPLY_SIZE> reply{};
  std::size_t got = 0;
  if (auto count = transport_.Read(reply.data(), reply.size())) {
    got = *count;
  } else {
    Report(TEXT_READ_ERROR);
    ok = false;
  }
  // A short echo counts as differing, whatever the bytes that did arrive.
  if (got != reply.size() || reply != request) {
    sink_.Report(TEXT_READDATA_ERROR, got != reply.size() ? CountReason(got, reply.size())
                                                          : "the echo differs from the request");
    ok = false;
  }
  return ok;
}

bool DeviceLink::ReadRegisters(RegisterSnapshot& snapshot) {
  const std::array<std::uint8_t, READ_REGISTERS_REQUEST_SIZE> request = {PACKET_LEAD, 0x01, CMD_READ_REGISTERS};
  if (!transport_.Write(request.data(), request.size())) {
    Report(TEXT_WRITE_ERROR);
    return false;
  }
  RegisterSnapshot received;
  auto count = transport_.Read(received.bytes.data(), received.bytes.size());
  if (!count) {
    Report(TEXT_READ_ERROR);
    return false;
  }
  if (*count != received.bytes.size()) {
    sink_.Report(TEXT_READ_ERROR, CountReason(*count, received.bytes.size()));
    return false;
  }
  snapshot = received;
  return true;
}

bool DeviceLink::StoreDefaults() {
  const std::array<std::uint8_t, STORE_DEFAULTS_REQUEST_SIZE> request = {PACKET_LEAD, 0x01, CMD_STORE_DEFAULTS};
  bool ok = true;
  if (!transport_.Write(request.data(), request.size())) {
    Report(TEXT_WRITEFILE_ERROR);
    ok = false;
  }
  std::array<std::uint8_t, STORE_DEFAULTS_REPLY_SIZE> reply{};
  if (!transport_.Read(reply.data(), reply.size())) {
    Report(TEXT_READFILE_ERROR);
    ok = false;
  }
  return ok;
}

bool DeviceLink::Refuse(std::string reason) {
  refusal_ = std::move(reason);
  return false;
}

bool DeviceLink::ExpectReply(std::uint8_t wanted, const char* what) {
  std::array<std::uint8_t, CHUNK_REPLY_SIZE> reply{};
  const auto got = transport_.Read(reply.data(), reply.size());
  if (!got) return Refuse(std::string(what) + ": " + transport_.LastError());
  // Only the first byte counts; an empty reply counts as a refusal.
  if (*got == 0) return Refuse(std::string(what) + ": " + CountReason(0, reply.size()));
  if (reply[0] != wanted)
    return Refuse(std::string(what) + ": the board answered " + FormatHexBytes(reply.data(), *got) +
                  " (hex), not " + FormatHexBytes(&wanted, 1));
  return true;
}

bool DeviceLink::StartDownload(std::uint16_t length) {
  refusal_.clear();
  const std::array<std::uint8_t, DOWNLOAD_REQUEST_SIZE> request = {
      PACKET_LEAD, 0x03, CMD_DOWNLOAD, static_cast<std::uint8_t>(length & 0xFF),
      static_cast<std::uint8_t>(length >> 8)};
  if (!transport_.Write(request.data(), request.size())) return Refuse("start: " + transport_.LastError());
  std::array<std::uint8_t, DOWNLOAD_REPLY_SIZE> reply{};
  auto count = transport_.Read(reply.data(), reply.size());
  if (!count) return Refuse("start: " + transport_.LastError());
  // The start needs its whole reply, unlike a chunk.
  if (*count != reply.size()) return Refuse("start: " + CountReason(*count, reply.size()));
  if (reply[0] != REPLY_ACCEPTED)
    return Refuse("start: the board answered " + FormatHexBytes(reply.data(), reply.size()) + " (hex), not " +
                  FormatHexBytes(&REPLY_ACCEPTED, 1));
  return true;
}

bool DeviceLink::SendChunk(const std::uint8_t* bytes, std::size_t count, bool isLast) {
  refusal_.clear();
  if (count == 0 || count > DOWNLOAD_CHUNK_SIZE) return Refuse("a chunk of " + std::to_string(count) + " bytes");
  if (!transport_.Write(bytes, count)) return Refuse(transport_.LastError());
  if (!ExpectReply(REPLY_ACCEPTED, "acknowledgement")) return false;
  return !isLast || ExpectReply(REPLY_COMPLETE, "completion");
}

}  // namespace vorna
