// An auto-reset signal: wake() from any thread ends (or pre-empts) one wait of the waiting thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace qw {

class WakeSignal {
 public:
  void wake() {
    {
      std::lock_guard lock(mutex_);
      woken_ = true;
    }
    condition_.notify_all();
  }
  // True when woken (a wake that came before the wait counts), false when the time ran out.
  bool wait_for(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    const bool woken = condition_.wait_for(lock, timeout, [this] { return woken_; });
    woken_ = false;
    return woken;
  }

 private:
  std::mutex mutex_;
  std::condition_variable condition_;
  bool woken_ = false;
};

}  // namespace qw
