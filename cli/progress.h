#pragma once
// The download's progress line on a terminal: how far, how fast, how long
// still to go. Written with integers only, so that no locale changes it.

#include <chrono>
#include <cstddef>
#include <ostream>
#include <string>

namespace vorna::cli {

// "[################                        ] 40% 6554/16384 bytes, 11.5 kB/s, 0:01 left".
// Rate and time left are left out until bytes have gone out over a measurable
// time; rates count 1000 bytes to the kB, as line speeds do.
std::string ProgressLine(std::size_t sent, std::size_t total, std::chrono::milliseconds elapsed);

// Redraws ProgressLine in place on `err` when enabled; ends the line when it
// goes. Time runs from the first Show, when the transfer starts.
class ProgressBar {
 public:
  ProgressBar(std::ostream& err, bool enabled) : err_(err), enabled_(enabled) {}
  ~ProgressBar();
  ProgressBar(const ProgressBar&) = delete;
  ProgressBar& operator=(const ProgressBar&) = delete;

  void Show(std::size_t sent, std::size_t total);
  // Erases the line, so that other lines can be printed; the next Show
  // draws it again.
  void Clear();

 private:
  std::ostream& err_;
  bool enabled_;
  bool started_ = false;
  bool drawn_ = false;
  std::chrono::steady_clock::time_point start_{};
};

}  // namespace vorna::cli
