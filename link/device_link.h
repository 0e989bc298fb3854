#pragma once
// The only code that talks to the board: one port, opened and closed per
// command, and the request/reply exchanges of the packet contract. Errors are
// reported to the message sink as they occur; nothing is retried.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "link/message_sink.h"
#include "link/port_names.h"
#include "link/register_snapshot.h"
#include "link/transport.h"

namespace vorna {

// Which port a command opens: the numbered port, or a device named by path
// when one is given (the command-line tool's --device).
struct PortChoice {
  int number = 1;
  std::string devicePath;
};

// What one request/reply exchange checks in the reply and how it tells its
// failures: the per-command differences, as data (device_link.cpp).
struct ExchangePolicy;

class DeviceLink {
 public:
  // `transport` and `sink` must outlive the link. `resolver` maps port
  // numbers to devices; by default the platform's mapping.
  DeviceLink(Transport& transport, MessageSink& sink, PortResolver resolver = LookUpSystemPort);
  ~DeviceLink();
  DeviceLink(const DeviceLink&) = delete;
  DeviceLink& operator=(const DeviceLink&) = delete;

  // Opens the port numbered `portNumber`. On failure reports
  // "Can not open COM<n>" and returns false.
  bool OpenPort(int portNumber);
  // Opens a device by path (the command-line tool's --device); on failure
  // reports "Can not open <path>".
  bool OpenDevice(const std::string& path);
  // Opens what `choice` names, by path when it has one.
  bool Open(const PortChoice& choice);
  // Does nothing when no port is open.
  void ClosePort();
  bool IsOpen() const;

  // The following need an open port. SetChannel, WriteRegister and
  // StoreDefaults always run all their steps and report each failure; their
  // result is true when nothing was reported. ReadRegisters, StartDownload
  // and SendChunk stop at the first failure.
  bool SetChannel(std::uint8_t channel);
  bool WriteRegister(std::uint8_t address, std::uint8_t value);
  bool ReadRegisters(RegisterSnapshot& snapshot);
  bool StoreDefaults();
  bool StartDownload(std::uint16_t length);
  // `count` is 1 to DOWNLOAD_CHUNK_SIZE.
  bool SendChunk(const std::uint8_t* bytes, std::size_t count, bool isLast);
  // Why the last StartDownload or SendChunk failed (what could not be sent,
  // or what the board answered), for a front end to show; these two report
  // nothing to the sink.
  const std::string& RefusalReason() const { return refusal_; }

 private:
  // Sends `request` (nothing when empty), reads into `reply` and checks it,
  // telling failures as `policy` says. True when nothing failed.
  bool Exchange(std::span<const std::uint8_t> request, std::span<std::uint8_t> reply, const ExchangePolicy& policy);
  // Tells one failed step; true when the exchange goes on after it.
  bool Fail(const ExchangePolicy& policy, std::string_view step, const std::string& detail);
  bool Refuse(std::string reason);
  bool OpenResolved(const PortLookup& lookup, const std::string& failureText);
  // `reason` after the port's name.
  std::string OnPort(std::string_view reason) const;

  Transport& transport_;
  MessageSink& sink_;
  PortResolver resolver_;
  std::string refusal_;
  // How every reason this link reports begins: the port last opened or
  // tried as PortLabel names it, or the path of a device opened by path.
  std::string portName_;
};

}  // namespace vorna
