#pragma once

#include <string>

namespace qw {

// The help that follows a failed recognition in the result box: where the error codes are
// documented, the advice to use one's own keys, and the common error codes in both languages.
const std::string& error_help_text();

}  // namespace qw
