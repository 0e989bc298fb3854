#include "cli/progress.h"

#include <cstdint>

namespace vorna::cli {

namespace {

constexpr int BAR_WIDTH = 40;
// Below this the rate is mostly the time the first chunk took to start.
constexpr std::chrono::milliseconds SHORTEST_MEASURE{200};

// 850 B/s, 11.5 kB/s, 1.2 MB/s: one decimal from the kB on.
std::string RateText(std::uint64_t bytesPerSecond) {
  if (bytesPerSecond < 1000) return std::to_string(bytesPerSecond) + " B/s";
  const bool mega = bytesPerSecond >= 1'000'000;
  const std::uint64_t tenths = (bytesPerSecond + (mega ? 50'000 : 50)) / (mega ? 100'000 : 100);
  return std::to_string(tenths / 10) + '.' + std::to_string(tenths % 10) + (mega ? " MB/s" : " kB/s");
}

// 0:07, 12:30, 1:02:03.
std::string DurationText(std::uint64_t seconds) {
  const auto twoDigits = [](std::uint64_t n) { return (n < 10 ? "0" : "") + std::to_string(n); };
  const std::uint64_t hours = seconds / 3600;
  const std::uint64_t minutes = seconds / 60 % 60;
  if (hours > 0) return std::to_string(hours) + ':' + twoDigits(minutes) + ':' + twoDigits(seconds % 60);
  return std::to_string(minutes) + ':' + twoDigits(seconds % 60);
}

}  // namespace

std::string ProgressLine(std::size_t sent, std::size_t total, std::chrono::milliseconds elapsed) {
  if (total == 0) return {};
  if (sent > total) sent = total;
  const auto filled = static_cast<std::size_t>(static_cast<std::uint64_t>(sent) * BAR_WIDTH / total);
  std::string line = '[' + std::string(filled, '#') + std::string(BAR_WIDTH - filled, ' ') + "] " +
                     std::to_string(static_cast<std::uint64_t>(sent) * 100 / total) + "% " + std::to_string(sent) +
                     '/' + std::to_string(total) + " bytes";
  const auto ms = static_cast<std::uint64_t>(elapsed.count());
  if (sent == 0 || elapsed < SHORTEST_MEASURE) return line;
  const std::uint64_t rate = static_cast<std::uint64_t>(sent) * 1000 / ms;
  line += ", " + RateText(rate);
  if (sent < total && rate > 0) {
    // Rounded up: "0:00 left" while bytes remain would be a lie.
    const std::uint64_t remainingMs = static_cast<std::uint64_t>(total - sent) * ms / sent;
    line += ", " + DurationText((remainingMs + 999) / 1000) + " left";
  }
  return line;
}

ProgressBar::~ProgressBar() {
  if (enabled_ && drawn_) err_ << '\n' << std::flush;
}

void ProgressBar::Show(std::size_t sent, std::size_t total) {
  if (!enabled_ || total == 0) return;
  const auto now = std::chrono::steady_clock::now();
  if (!started_) start_ = now;
  started_ = true;
  const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(now - start_);
  // Erase to the end of the line: the rate's text may get shorter.
  err_ << '\r' << ProgressLine(sent, total, elapsed) << "\x1b[K" << std::flush;
  drawn_ = true;
}

void ProgressBar::Clear() {
  if (drawn_) err_ << "\r\x1b[K" << std::flush;
  drawn_ = false;
}

}  // namespace vorna::cli
