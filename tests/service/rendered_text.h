// Pictures of text rendered for a test with ImageMagick and the WenQuanYi font, as PNG bytes.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

#include "common/bytes.h"
#include "common/file_io.h"

namespace qw::testing {

inline constexpr const char* kTextFont = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc";

// The text quoted for the shell (ImageMagick reads "%" as an escape: tests avoid it).
inline std::string shell_quoted(const std::string& text) {
  std::string quoted = "'";
  for (const char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// `text` (UTF-8, one line or several separated by "\n") at `size` pixels into `file`; empty bytes
// when ImageMagick failed.
inline Bytes render_text(const std::filesystem::path& file, const std::string& text, int size) {
  const std::string command = std::string("convert -background white -fill black -font ") + kTextFont +
                              " -pointsize " + std::to_string(size) + " label:" + shell_quoted(text) + " " +
                              shell_quoted(file.string()) + " 2>/dev/null";
  if (std::system(command.c_str()) != 0) return {};
  return read_file_bytes(file);
}

}  // namespace qw::testing
