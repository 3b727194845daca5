#include <unistd.h>

#include "common/paths.h"

namespace qw {

std::filesystem::path executable_path() {
  std::error_code error;
  auto path = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::filesystem::current_path(error) / "qingwu-ocr" : path;
}

}  // namespace qw
