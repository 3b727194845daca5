// A display that records every event in order, for tests of the recognition flows.
#pragma once

#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "common/wake_signal.h"
#include "recognition/display.h"

namespace qw::testing {

class RecordingDisplay : public Display {
 public:
  void set_title(const std::string& text) override { record("title: " + text); }
  void set_result_text(const std::string& text) override {
    std::lock_guard lock(mutex_);
    result_ = text;
    events_.push_back("result: " + text);
  }
  void append_result_text(const std::string& text) override {
    std::lock_guard lock(mutex_);
    result_ += text;
    events_.push_back("append: " + text);
  }
  void set_preview_visible(bool visible) override { record(visible ? "preview: shown" : "preview: hidden"); }
  void copy_result_to_clipboard() override {
    std::lock_guard lock(mutex_);
    events_.push_back("clipboard: " + result_);
  }
  void open_address(const std::string& address) override { record("open: " + address); }
  void show_message(const std::string& title, const std::string& text) override {
    record("message: " + (title.empty() ? std::string(kDefaultMessageTitle) : title) + ": " + text);
  }
  std::string concurrency_text() override {
    std::lock_guard lock(mutex_);
    return concurrency_;
  }
  std::string retries_text() override {
    std::lock_guard lock(mutex_);
    return retries_;
  }
  std::optional<std::filesystem::path> choose_folder(const std::string& title) override {
    record("choose folder: " + title);
    return folder_;
  }
  std::string result_text() override {
    std::lock_guard lock(mutex_);
    return result_;
  }
  bool pump_messages() override {
    std::lock_guard lock(mutex_);
    ++pumps_;
    return !closed_;
  }

  bool wait_for_wake(std::chrono::milliseconds timeout) override {
    wake_signal_.wait_for(timeout);
    return pump_messages();
  }
  void wake() override { wake_signal_.wake(); }

  // Test controls.
  void set_batch_texts(std::string concurrency, std::string retries) {
    std::lock_guard lock(mutex_);
    concurrency_ = std::move(concurrency);
    retries_ = std::move(retries);
  }
  void set_folder(std::optional<std::filesystem::path> folder) { folder_ = std::move(folder); }
  void close_window() {
    std::lock_guard lock(mutex_);
    closed_ = true;
  }
  std::vector<std::string> events() const {
    std::lock_guard lock(mutex_);
    return events_;
  }
  // The events that start with `prefix`, in order.
  std::vector<std::string> events_starting(const std::string& prefix) const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> found;
    for (const auto& e : events_) {
      if (e.compare(0, prefix.size(), prefix) == 0) found.push_back(e);
    }
    return found;
  }
  int pumps() const {
    std::lock_guard lock(mutex_);
    return pumps_;
  }

 private:
  void record(std::string event) {
    std::lock_guard lock(mutex_);
    events_.push_back(std::move(event));
  }

  mutable std::mutex mutex_;
  std::vector<std::string> events_;
  std::string result_;
  std::string concurrency_ = "3", retries_ = "5";
  std::optional<std::filesystem::path> folder_;
  bool closed_ = false;
  WakeSignal wake_signal_;
  int pumps_ = 0;
};

}  // namespace qw::testing
