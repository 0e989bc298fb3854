#include "link/device_link.h"

#include <array>
#include <string>

#include "link/protocol.h"

namespace vorna {

namespace {

constexpr const char* TEXT_WRITE_ERROR = "Write error";
constexpr const char* TEXT_READ_ERROR = "Read error";
constexpr const char* TEXT_READDATA_ERROR = "ReadData error";
constexpr const char* TEXT_WRITEFILE_ERROR = "WriteFile error";
constexpr const char* TEXT_READFILE_ERROR = "ReadFile error";
constexpr const char* TEXT_CAN_NOT_OPEN = "Can not open ";

std::string CountReason(std::size_t got, std::size_t wanted) {
  return std::to_string(got) + " of " + std::to_string(wanted) + " reply bytes arrived within the time-out";
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

bool DeviceLink::StartDownload(std::uint16_t length) {
  const std::array<std::uint8_t, DOWNLOAD_REQUEST_SIZE> request = {
      PACKET_LEAD, 0x03, CMD_DOWNLOAD, static_cast<std::uint8_t>(length & 0xFF),
      static_cast<std::uint8_t>(length >> 8)};
  if (!transport_.Write(request.data(), request.size())) return false;
  std::array<std::uint8_t, DOWNLOAD_REPLY_SIZE> reply{};
  auto count = transport_.Read(reply.data(), reply.size());
  return count && *count == reply.size() && reply[0] == REPLY_ACCEPTED;
}

bool DeviceLink::SendChunk(const std::uint8_t* bytes, std::size_t count, bool isLast) {
  if (count == 0 || count > DOWNLOAD_CHUNK_SIZE) return false;
  if (!transport_.Write(bytes, count)) return false;
  std::array<std::uint8_t, CHUNK_REPLY_SIZE> reply{};
  auto got = transport_.Read(reply.data(), reply.size());
  // An empty reply counts as not accepted; the second byte is never looked at.
  if (!got || *got == 0 || reply[0] != REPLY_ACCEPTED) return false;
  if (!isLast) return true;
  std::array<std::uint8_t, CHUNK_REPLY_SIZE> completion{};
  got = transport_.Read(completion.data(), completion.size());
  return got && *got > 0 && completion[0] == REPLY_COMPLETE;
}

}  // namespace vorna
