#pragma once
// Where the core reports errors. The desktop application shows a modal box,
// the command-line tool prints to stderr, tests record.

#include <string>
#include <string_view>
#include <vector>

namespace vorna {

class MessageSink {
 public:
  virtual ~MessageSink() = default;
  // `text` is the fixed message the user sees ("Read error", ...). `reason`
  // is the system's own explanation (device path, errno text, byte counts),
  // possibly empty; front ends may show it on request.
  virtual void Report(std::string_view text, std::string_view reason) = 0;
};

// Keeps every message in order; for tests and for callers that decide later.
class RecordingSink final : public MessageSink {
 public:
  struct Entry {
    std::string text;
    std::string reason;
  };
  void Report(std::string_view text, std::string_view reason) override {
    entries.push_back({std::string(text), std::string(reason)});
  }
  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const auto& e : entries) texts.push_back(e.text);
    return texts;
  }
  std::vector<Entry> entries;
};

}  // namespace vorna
