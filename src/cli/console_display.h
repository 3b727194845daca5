// The display of the console front end: events go to stderr as they happen, one line each
// ("title: ...", "message: <title>: <text>", "open: ...", "clipboard: ..."); the result box is kept
// and printed to stdout at the end.
#pragma once

#include <filesystem>
#include <mutex>
#include <optional>
#include <string>

#include "common/wake_signal.h"
#include "recognition/display.h"

namespace qw::cli {

class ConsoleDisplay : public Display {
 public:
  struct Settings {
    bool raw = false;                                 // GBK bytes instead of UTF-8
    std::string concurrency_text = "3";               // stands for 并发编辑框1
    std::string retries_text = "5";                   // stands for 重试编辑框3
    std::optional<std::filesystem::path> folder;      // what the folder browser "chooses"
  };
  explicit ConsoleDisplay(Settings settings) : settings_(std::move(settings)) {}

  void set_title(const std::string& text) override;
  void set_result_text(const std::string& text) override;
  void append_result_text(const std::string& text) override;
  void set_preview_visible(bool) override {}
  void copy_result_to_clipboard() override;
  void open_address(const std::string& address) override;
  void show_message(const std::string& title, const std::string& text) override;
  std::string concurrency_text() override { return settings_.concurrency_text; }
  std::string retries_text() override { return settings_.retries_text; }
  std::optional<std::filesystem::path> choose_folder(const std::string&) override { return settings_.folder; }
  std::string result_text() override;
  bool pump_messages() override { return true; }
  bool wait_for_wake(std::chrono::milliseconds timeout) override {
    wake_signal_.wait_for(timeout);
    return true;
  }
  void wake() override { wake_signal_.wake(); }

 private:
  void print_event(const std::string& line);

  const Settings settings_;
  std::mutex mutex_;  // workers report from several threads
  std::string result_;
  WakeSignal wake_signal_;
};

}  // namespace qw::cli
