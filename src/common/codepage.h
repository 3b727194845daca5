// Conversions between multibyte text and UTF-16, for code page 936 (GBK) and UTF-8 (65001).
//
// These behave like MultiByteToWideChar / WideCharToMultiByte without special flags on every target:
// a character that the target code page cannot show becomes one "?", malformed UTF-8 becomes U+FFFD.
// Nothing here depends on the machine's own code page or locale.
#pragma once

#include <string>
#include <string_view>

namespace qw {

constexpr int kCodePageGbk = 936;
constexpr int kCodePageUtf8 = 65001;

std::u16string to_utf16(std::string_view text, int code_page);
std::string from_utf16(std::u16string_view wide, int code_page);

std::string gbk_to_utf8(std::string_view gbk);
std::string utf8_to_gbk(std::string_view utf8);

}  // namespace qw
