// Whole seconds since a run started, for the "识别完成耗时:" titles.
#pragma once

#include <chrono>
#include <string>

namespace qw {

class RunClock {
 public:
  RunClock() : start_(std::chrono::steady_clock::now()) {}
  // Whole seconds since construction, fractions dropped. A steady clock, so a change of the
  // wall clock during a run cannot make the count negative.
  long long elapsed_seconds() const {
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - start_).count();
  }
  std::string elapsed_seconds_text() const { return std::to_string(elapsed_seconds()); }

 private:
  std::chrono::steady_clock::time_point start_;
};

}  // namespace qw
