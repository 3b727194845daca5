// Batch recognition: every picture of a folder becomes a text file beside it, recognised by worker
// threads of which at most N (the concurrency box) run at once, each trying up to R times (the
// retries box) until the service's answer carries a log_id.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <vector>

#include "recognition/recognition_context.h"

namespace qw {

struct BatchState {
  std::atomic<int> worker_count{0};             // workers started and not yet ended
  bool handing_out = false;                      // UI thread only
  std::vector<std::filesystem::path> file_list;  // UI thread only: the last batch's pictures

  // Worker threads that have not yet exited, for wait_for_batch_workers.
  std::mutex thread_mutex;
  std::condition_variable threads_exited;
  int running_threads = 0;
};

struct BatchTiming {
  // How long the hand-out waits for a free place before it reads the concurrency box again.
  std::chrono::milliseconds recheck{3000};
  std::chrono::milliseconds retry_pause{1000};
};

// The click handler of 批量, on the UI thread: asks for a folder, lists its pictures and starts one
// worker per picture while fewer than N run. Returns when the last worker has been started (or the
// main window closed). A second call while one is handing out is refused with a message.
void recognize_folder(const RecognitionContext& context, BatchState& state, BatchTiming timing = {});

// One worker's whole life: recognises the picture and writes its text file.
void recognize_batch_file(const RecognitionContext& context, const std::filesystem::path& picture,
                          BatchTiming timing = {});

// The folder's *.jpg, then *.png, then *.bmp files (letter case ignored, hidden and system files
// included, no subfolders), each group in the order the file system lists them.
std::vector<std::filesystem::path> find_batch_pictures(const std::filesystem::path& folder);
// The picture's path with "txt" after its last ".".
std::filesystem::path batch_output_path(const std::filesystem::path& picture);

// Waits until every worker thread has exited, so that what they use may be destroyed. The window
// program never waits; the console front end and the tests do.
void wait_for_batch_workers(BatchState& state);

// The batch boxes hold at most 10: a text whose number exceeds 10 becomes "10"; nothing else changes.
std::string limited_to_ten(std::string text);

inline constexpr char kBatchFolderTitle[] = "请选择文件夹";
inline constexpr char kBatchBusyMessage[] = "批量识别正在分配任务，请等它分配完再开始新的批量识别";

}  // namespace qw
