#include "common/paths.h"

#include "common/codepage.h"

namespace qw {

std::filesystem::path path_from_text(std::string_view gbk) { return std::filesystem::path(to_utf16(gbk, kCodePageGbk)); }

std::string text_from_path(const std::filesystem::path& path) {
  try {
    return from_utf16(path.u16string(), kCodePageGbk);
  } catch (const std::exception&) {
    // A Linux file name that is not UTF-8 has no text form; its bytes are the best we have.
    return path.string();
  }
}

std::filesystem::path program_directory() { return executable_path().parent_path(); }

}  // namespace qw
