#include "recognition/platform_answer.h"

#include "common/codepage.h"
#include "common/text.h"

namespace qw {

std::string platform_answer_text(const Bytes& reply) { return utf8_to_gbk(bytes_to_text(reply)); }

std::vector<std::string> recognised_lines(const JsonDocument& answer) {
  std::vector<std::string> lines;
  const int count = answer.get_count("words_result");
  for (int k = 0; k < count; ++k) {
    lines.push_back(answer.get_text("words_result[" + decimal_text(k) + "].words"));
  }
  return lines;
}

}  // namespace qw
