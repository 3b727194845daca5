#include "common/codepage.h"

#include <algorithm>

namespace qw {
namespace {

bool is_ascii(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

}  // namespace

// ASCII is the same in both code pages; most JSON that passes through here is ASCII.
std::string gbk_to_utf8(std::string_view gbk) {
  if (is_ascii(gbk)) return std::string(gbk);
  return from_utf16(to_utf16(gbk, kCodePageGbk), kCodePageUtf8);
}

std::string utf8_to_gbk(std::string_view utf8) {
  if (is_ascii(utf8)) return std::string(utf8);
  return from_utf16(to_utf16(utf8, kCodePageUtf8), kCodePageGbk);
}

}  // namespace qw
