#pragma once

#include <filesystem>

#include "recognition/display.h"

namespace qw {

// What every recognition run needs besides its picture: where to report, and the program directory
// (配置.ini and the output files live there).
struct RecognitionContext {
  Display& display;
  std::filesystem::path program_directory;
};

// The stage titles the flows show, in the order a run passes them.
inline constexpr char kTitleEncoding[] = "已载入-URL编码中";
inline constexpr char kTitleSending[] = "已载入-发送服务器中";
inline constexpr char kTitleReceiving[] = "已载入-接受数据中";
inline constexpr char kTitleDecoded[] = "已载入-解码完成";

// "识别完成耗时:" + seconds + "秒" and its failure twin.
std::string finished_title(long long seconds);
std::string failed_title(long long seconds);

}  // namespace qw
