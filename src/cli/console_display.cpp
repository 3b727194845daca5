#include "cli/console_display.h"

#include "cli/console.h"

namespace qw::cli {

void ConsoleDisplay::print_event(const std::string& line) { write_text(Stream::err, line + "\n", settings_.raw); }

void ConsoleDisplay::set_title(const std::string& text) {
  std::lock_guard lock(mutex_);
  print_event("title: " + text);
}

void ConsoleDisplay::set_result_text(const std::string& text) {
  std::lock_guard lock(mutex_);
  result_ = text;
}

void ConsoleDisplay::append_result_text(const std::string& text) {
  std::lock_guard lock(mutex_);
  result_ += text;
}

void ConsoleDisplay::copy_result_to_clipboard() {
  std::lock_guard lock(mutex_);
  print_event("clipboard: " + result_);
}

void ConsoleDisplay::open_address(const std::string& address) {
  std::lock_guard lock(mutex_);
  print_event("open: " + address);
}

void ConsoleDisplay::show_message(const std::string& title, const std::string& text) {
  std::lock_guard lock(mutex_);
  print_event("message: " + (title.empty() ? std::string(kDefaultMessageTitle) : title) + ": " + text);
}

std::string ConsoleDisplay::result_text() {
  std::lock_guard lock(mutex_);
  return result_;
}

}  // namespace qw::cli
