#pragma once

#include <chrono>

#include "common/bytes.h"
#include "recognition/recognition_context.h"

namespace qw {

struct TablePolling {
  std::chrono::milliseconds interval{1000};
  // A job the service has not finished after this many status requests is given up.
  int max_rounds = 120;
};

// One table recognition, the whole body of a worker thread: submits the picture as a table job,
// polls the job until it is finished, saves the spreadsheet as "1.xls" in the program directory and
// asks the shell to open the result's address. Returns true when the spreadsheet was saved.
bool recognize_table(const RecognitionContext& context, const Bytes& picture, TablePolling polling = {});

inline constexpr char kTableFileName[] = "1.xls";
inline constexpr char kTableFinishedStatus[] = "已完成";

}  // namespace qw
