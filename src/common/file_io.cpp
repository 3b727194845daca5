#include "common/file_io.h"

#include <atomic>
#include <string>

namespace qw {

namespace detail {
// Platform twins (file_io_posix.cpp, file_io_win32.cpp).
bool write_new_file_durably(const std::filesystem::path& file, std::string_view content);
bool rename_over(const std::filesystem::path& from, const std::filesystem::path& to);
int process_id();
}  // namespace detail

Bytes read_file_bytes(const std::filesystem::path& file) { return try_read_file(file).value_or(Bytes{}); }

bool replace_file_atomically(const std::filesystem::path& file, std::string_view content) {
  static std::atomic<unsigned> counter{0};
  std::filesystem::path temporary = file;
  temporary += ".tmp" + std::to_string(detail::process_id()) + "-" + std::to_string(counter++);
  if (!detail::write_new_file_durably(temporary, content)) {
    std::error_code ignored;
    std::filesystem::remove(temporary, ignored);
    return false;
  }
  if (!detail::rename_over(temporary, file)) {
    std::error_code ignored;
    std::filesystem::remove(temporary, ignored);
    return false;
  }
  return true;
}

}  // namespace qw
