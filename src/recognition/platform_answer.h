// Reading the recognition platform's answers.
#pragma once

#include <string>

#include "common/bytes.h"
#include "json/json_document.h"

namespace qw {

// The platform answers in UTF-8 JSON; the program works in GBK. The answer is converted and nothing
// else: percent-decoding it, as once done, corrupted every recognised line holding a "%".
std::string platform_answer_text(const Bytes& reply);

// The text at words_result[k].words for k = 0 .. n-1, n = the member count of words_result.
std::vector<std::string> recognised_lines(const JsonDocument& answer);

}  // namespace qw
