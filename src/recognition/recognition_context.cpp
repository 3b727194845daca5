#include "recognition/recognition_context.h"

#include "common/text.h"

namespace qw {

std::string finished_title(long long seconds) { return "识别完成耗时:" + decimal_text(seconds) + "秒"; }
std::string failed_title(long long seconds) { return "识别错误耗时:" + decimal_text(seconds) + "秒"; }

}  // namespace qw
