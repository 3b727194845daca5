#pragma once

#include "common/bytes.h"
#include "recognition/recognition_context.h"

namespace qw {

// One single-picture recognition, the whole body of a worker thread: sends the picture to the
// general (or, with `high_accuracy`, the high-accuracy) text recognition and reports the lines in
// the result box. Returns true when it ended in the success report.
bool recognize_picture(const RecognitionContext& context, const Bytes& picture, bool high_accuracy);

// Messages of ours for pictures that are never sent.
inline constexpr char kEmptyPictureMessage[] = "图片为空，没有可识别的内容";
inline constexpr char kPictureTooLargeMessage[] =
    "图片太大：编码后超过9999999个字符，无法发送。请截取较小的区域或使用较小的图片";

}  // namespace qw
