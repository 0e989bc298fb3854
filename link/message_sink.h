#pragma once
// Where the core reports errors. The desktop application shows a modal box,
// the command-line tool prints to stderr, tests record.

#include <string_view>

namespace vorna {

class MessageSink {
 public:
  virtual ~MessageSink() = default;
  // `text` is the fixed message the user sees ("Read error", ...). `reason`
  // is the system's own explanation (device path, errno text, byte counts),
  // possibly empty; front ends may show it on request.
  virtual void Report(std::string_view text, std::string_view reason) = 0;
};

}  // namespace vorna
