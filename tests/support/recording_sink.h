#pragma once
// A message sink that keeps every message in order, for tests, fuzzers and
// benchmarks to look at afterwards.

#include <string>
#include <string_view>
#include <vector>

#include "link/message_sink.h"

namespace vorna {

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
