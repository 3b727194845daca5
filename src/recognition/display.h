// What the recognition flows show the user, without knowing any window. The main window implements
// it by posting each event to its UI thread; the console front end prints events; tests record them.
#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>

namespace qw {

class Display {
 public:
  virtual ~Display() = default;

  // The main window's title, its result box 编辑框2, its preview canvas 画板1. Callable from any
  // thread; each call returns at once, and the calls of one thread take effect in their order.
  virtual void set_title(const std::string& text) = 0;
  virtual void set_result_text(const std::string& text) = 0;
  virtual void append_result_text(const std::string& text) = 0;
  virtual void set_preview_visible(bool visible) = 0;
  // Puts the result box's whole text, as the earlier calls of this thread left it, on the clipboard.
  virtual void copy_result_to_clipboard() = 0;
  // Asks the shell to open an address with its "open" verb.
  virtual void open_address(const std::string& address) = 0;
  // A message box with one OK button; the title "信息：" when `title` is empty.
  virtual void show_message(const std::string& title, const std::string& text) = 0;

  // The batch edit boxes 并发编辑框1 and 重试编辑框3 as they read now. Callable from any thread.
  virtual std::string concurrency_text() = 0;
  virtual std::string retries_text() = 0;

  // UI thread only. The folder browser: nothing when cancelled or when the choice is no folder of the
  // file system.
  virtual std::optional<std::filesystem::path> choose_folder(const std::string& title) = 0;
  // UI thread only. The result box's whole text.
  virtual std::string result_text() = 0;
  // UI thread only. Handles the window messages waiting now (nothing where there are none), so work
  // on the UI thread keeps the windows responsive. True while the program goes on, false once the
  // main window has closed and the work should end.
  virtual bool pump_messages() = 0;
  // UI thread only. Waits until wake() is called (a wake that came earlier counts) or `timeout`
  // passes, handling window messages meanwhile. False once the main window has closed.
  virtual bool wait_for_wake(std::chrono::milliseconds timeout) = 0;
  // Any thread: ends the UI thread's current or next wait_for_wake.
  virtual void wake() = 0;
};

inline constexpr char kDefaultMessageTitle[] = "信息：";

}  // namespace qw
