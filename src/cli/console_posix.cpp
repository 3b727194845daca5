#include <unistd.h>

#include "cli/console.h"
#include "common/codepage.h"

namespace qw::cli {

void prepare_console() {}

void write_text(Stream stream, std::string_view gbk, bool raw) {
  const std::string bytes = raw ? std::string(gbk) : gbk_to_utf8(gbk);
  const int fd = stream == Stream::out ? STDOUT_FILENO : STDERR_FILENO;
  std::size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
    if (n <= 0) return;
    written += static_cast<std::size_t>(n);
  }
}

std::vector<std::string> utf8_arguments(int argc, char** argv) { return {argv + 1, argv + argc}; }

}  // namespace qw::cli
