// The state the program's parts share for the whole run. The start routine owns the one instance and
// hands references to the windows and flows that need them; nothing here is a global variable.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>

#include "common/bytes.h"
#include "recognition/access_token.h"
#include "recognition/batch_recognition.h"

namespace qw {

struct ScreenPoint {
  int x = 0;
  int y = 0;
};

// Screen pixels; right and bottom are exclusive.
struct ScreenRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
};

// The picture being recognised: replaced by the UI thread, read by workers. A worker takes a
// snapshot when it starts, so a new picture never changes one that is being encoded.
class SharedPicture {
 public:
  void set(Bytes picture) {
    auto replacement = std::make_shared<const Bytes>(std::move(picture));
    std::lock_guard lock(mutex_);
    picture_ = std::move(replacement);
  }
  std::shared_ptr<const Bytes> snapshot() const {
    std::lock_guard lock(mutex_);
    return picture_;
  }

 private:
  mutable std::mutex mutex_;
  std::shared_ptr<const Bytes> picture_ = std::make_shared<const Bytes>();
};

struct ProcessState {
  // UI thread only: the capture overlay's drag and selection, and the registered capture hotkey.
  int drag_flag = 0;
  ScreenPoint drag_start;
  ScreenRect capture_rectangle;
  int hotkey_id = 0;

  SharedPicture shared_picture;
  // Set when the settings window closes; read by each recognition as it starts. Never stored.
  std::atomic<bool> high_accuracy{false};
  // The last token answer and its parsed document (UI thread only).
  TokenFetchState token;
  // The batch file list and the batch worker count. (A table job's request id is held by its own
  // run, so two table recognitions never share one.)
  BatchState batch;
};

}  // namespace qw
