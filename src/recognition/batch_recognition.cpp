#include "recognition/batch_recognition.h"

#include <system_error>
#include <thread>

#include "common/elapsed.h"
#include "common/file_io.h"
#include "common/paths.h"
#include "common/text.h"
#include "json/json_document.h"
#include "recognition/encodings.h"
#include "recognition/picture_recognition.h"
#include "recognition/platform_answer.h"
#include "recognition/service_endpoints.h"
#include "web/web_request.h"

namespace qw {
namespace {

constexpr const char* kPatterns[] = {".jpg", ".png", ".bmp"};
constexpr double kCountTolerance = 0.0000001;

// Lowers the worker count and wakes the hand-out however the worker ends.
class WorkerEnd {
 public:
  WorkerEnd(BatchState& state, Display& display) : state_(state), display_(display) {}
  ~WorkerEnd() {
    state_.worker_count.fetch_sub(1);
    display_.wake();
  }
  WorkerEnd(const WorkerEnd&) = delete;
  WorkerEnd& operator=(const WorkerEnd&) = delete;

 private:
  BatchState& state_;
  Display& display_;
};

class HandingOut {
 public:
  explicit HandingOut(BatchState& state) : state_(state) { state_.handing_out = true; }
  ~HandingOut() { state_.handing_out = false; }
  HandingOut(const HandingOut&) = delete;
  HandingOut& operator=(const HandingOut&) = delete;

 private:
  BatchState& state_;
};

bool start_worker(const RecognitionContext& context, const std::filesystem::path& picture, BatchState& state,
                  BatchTiming timing) {
  // Counted before the thread runs, so its decrement can never come first; taken back when the
  // thread cannot be started.
  state.worker_count.fetch_add(1);
  {
    std::lock_guard lock(state.thread_mutex);
    ++state.running_threads;
  }
  try {
    std::thread([context, picture, &state, timing] {
      {
        const WorkerEnd end(state, context.display);
        recognize_batch_file(context, picture, timing);
      }
      // The last thing this thread does: a waiter is told only once the thread is fully gone.
      std::unique_lock lock(state.thread_mutex);
      --state.running_threads;
      std::notify_all_at_thread_exit(state.threads_exited, std::move(lock));
    }).detach();
    return true;
  } catch (const std::system_error&) {
    state.worker_count.fetch_sub(1);
    std::lock_guard lock(state.thread_mutex);
    --state.running_threads;
    return false;
  }
}

bool at_limit(const BatchState& state, Display& display) {
  const double limit = read_number(display.concurrency_text());
  return state.worker_count.load() - limit >= -kCountTolerance;
}

}  // namespace

std::vector<std::filesystem::path> find_batch_pictures(const std::filesystem::path& folder) {
  std::vector<std::filesystem::path> names;
  std::error_code error;
  for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    if (!it->is_directory(error)) names.push_back(it->path().filename());
  }
  std::vector<std::filesystem::path> pictures;
  for (const char* pattern : kPatterns) {
    for (const auto& name : names) {
      if (equals_ignore_case(text_from_path(name.extension()), pattern)) pictures.push_back(folder / name);
    }
  }
  return pictures;
}

std::string limited_to_ten(std::string text) {
  return read_number(text) - 10 > kCountTolerance ? std::string("10") : text;
}

std::filesystem::path batch_output_path(const std::filesystem::path& picture) {
  std::filesystem::path output = picture;
  return output.replace_extension(".txt");
}

void recognize_folder(const RecognitionContext& context, BatchState& state, BatchTiming timing) {
  Display& display = context.display;
  if (state.handing_out) {
    display.show_message("", kBatchBusyMessage);
    return;
  }
  const HandingOut handing_out(state);
  state.file_list.clear();
  display.set_result_text("");
  // A cancelled dialog ends the batch: it must never fall back to some other folder.
  const auto folder = display.choose_folder(kBatchFolderTitle);
  if (!folder || folder->empty()) return;

  for (const auto& picture : find_batch_pictures(*folder)) {
    state.file_list.push_back(picture);
    if (!display.pump_messages()) return;
  }
  for (std::size_t i = 0; i < state.file_list.size(); ++i) {
    const auto& picture = state.file_list[i];
    display.append_result_text(decimal_text(static_cast<long long>(i + 1)) + "线程\r\n");
    display.append_result_text(text_from_path(picture) + "\r\n");
    start_worker(context, picture, state, timing);
    // A worker's end wakes this wait at once; the box is read again at least every `recheck`.
    while (at_limit(state, display)) {
      if (!display.wait_for_wake(timing.recheck)) return;  // the main window closed
    }
  }
}

void recognize_batch_file(const RecognitionContext& context, const std::filesystem::path& picture,
                          BatchTiming timing) {
  Display& display = context.display;
  JsonDocument answer;
  const std::string token = service::access_token_for_run(context.program_directory);
  const RunClock clock;
  const Bytes picture_bytes = read_file_bytes(picture);

  display.set_title(kTitleEncoding);
  const std::optional<std::string> body = picture_bytes.empty() ? std::nullopt : image_form_body(picture_bytes);
  display.set_title(kTitleSending);
  if (body) {
    const std::string url = service::api_url(context.program_directory, service::kGeneralPath + token);
    const long long attempts = static_cast<long long>(read_number(display.retries_text()));
    for (long long k = 1; k <= attempts; ++k) {
      WebRequestOptions request;
      request.method = 1;
      request.body_text = *body;
      answer.parse(platform_answer_text(web_request(url, std::move(request))));
      if (answer.get_count("log_id") == 1) break;
      std::this_thread::sleep_for(timing.retry_pause);
      display.append_result_text(decimal_text(k) + "次重试\r\n");
    }
  } else {
    // Never sent: an empty picture has nothing to recognise, and one too large would be cut.
    display.append_result_text(text_from_path(picture) + "：" +
                               (picture_bytes.empty() ? kEmptyPictureMessage : kPictureTooLargeMessage) + "\r\n");
  }
  display.set_title(kTitleReceiving);
  display.set_title(kTitleDecoded);
  display.set_preview_visible(false);

  std::string result;
  for (const std::string& line : recognised_lines(answer)) result += line + "\r\n";
  const auto output = batch_output_path(picture);
  replace_file_atomically(output, result);
  display.append_result_text("输出路径=" + text_from_path(output) + "\r\n");
  display.set_title(finished_title(clock.elapsed_seconds()));
}

void wait_for_batch_workers(BatchState& state) {
  std::unique_lock lock(state.thread_mutex);
  state.threads_exited.wait(lock, [&] { return state.running_threads == 0; });
}

}  // namespace qw
