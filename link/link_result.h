#pragma once
// How a call of the device link ended: done, with its value when it has
// one, or failed, with why. Every call says it this one way.

#include <string>
#include <utility>
#include <variant>

namespace vorna {

// Why a link call failed, in the words the user sees: the step that failed
// and the reason. Opening and the register commands also report these two
// texts to the sink as they happen ("Read error", "COM1 (/dev/ttyUSB0):
// read: input/output error"); the download calls report nothing, and their
// caller shows Text() ("acknowledgement: the board answered 15 (hex), not
// 00").
struct LinkFailure {
  std::string step;  // may be empty: the reason says it all
  std::string reason;
  // "<step>: <reason>", or the reason alone without a step.
  std::string Text() const { return step.empty() ? reason : step + ": " + reason; }
};

// The value of a call that gives nothing but its success.
struct Done {};

template <typename Value = Done>
class LinkResult {
 public:
  LinkResult(Value value) : outcome_(std::move(value)) {}
  LinkResult(LinkFailure failure) : outcome_(std::move(failure)) {}

  bool ok() const { return outcome_.index() == 0; }
  explicit operator bool() const { return ok(); }
  // Only when ok().
  const Value& value() const { return std::get<0>(outcome_); }
  // Only when not ok().
  const LinkFailure& failure() const { return std::get<1>(outcome_); }

 private:
  std::variant<Value, LinkFailure> outcome_;
};

}  // namespace vorna
