#pragma once
// The only code that talks to the board: one port, opened and closed per
// command, and the request/reply exchanges of the packet contract. Nothing is
// retried.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "link/link_result.h"
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

  // Every call says how it ended in its result (link_result.h).

  // Opens the port numbered `portNumber`. On failure reports
  // "Can not open COM<n>".
  LinkResult<> OpenPort(int portNumber);
  // Opens a device by path (the command-line tool's --device); on failure
  // reports "Can not open <path>".
  LinkResult<> OpenDevice(const std::string& path);
  // Opens what `choice` names, by path when it has one. Commands open
  // through a PortSession (port_session.h), which closes again.
  LinkResult<> Open(const PortChoice& choice);
  // Does nothing when no port is open.
  void ClosePort();
  bool IsOpen() const;

  // The following need an open port. SetChannel, WriteRegister and
  // StoreDefaults always run all their steps and report each failure to the
  // sink; their result is the first. ReadRegisters reports its failure and
  // stops at it. StartDownload and SendChunk stop at the first failure and
  // report nothing: their caller tells it (what could not be sent, or what
  // the board answered).
  LinkResult<> SetChannel(std::uint8_t channel);
  LinkResult<> WriteRegister(std::uint8_t address, std::uint8_t value);
  LinkResult<RegisterSnapshot> ReadRegisters();
  LinkResult<> StoreDefaults();
  LinkResult<> StartDownload(std::uint16_t length);
  // `bytes` holds 1 to DOWNLOAD_CHUNK_SIZE bytes.
  LinkResult<> SendChunk(std::span<const std::uint8_t> bytes, bool isLast);

 private:
  // Sends `request` (nothing when empty), reads into `reply` and checks it,
  // telling failures as `policy` says. The result is the first failure.
  LinkResult<> Exchange(std::span<const std::uint8_t> request, std::span<std::uint8_t> reply,
                        const ExchangePolicy& policy);
  // One failed step as `policy` tells it: to the sink with the port's name,
  // or left to the caller.
  LinkFailure Fail(const ExchangePolicy& policy, std::string_view step, const std::string& detail);
  LinkFailure Report(LinkFailure failure);
  LinkResult<> OpenResolved(const PortLookup& lookup, const std::string& failureText);
  // `reason` after the port's name.
  std::string OnPort(std::string_view reason) const;

  Transport& transport_;
  MessageSink& sink_;
  PortResolver resolver_;
  // How every reason this link reports begins: the port last opened or
  // tried as PortLabel names it, or the path of a device opened by path.
  std::string portName_;
};

}  // namespace vorna
