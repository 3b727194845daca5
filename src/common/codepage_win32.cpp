#include "common/codepage.h"

#include <windows.h>

namespace qw {

std::u16string to_utf16(std::string_view text, int code_page) {
  if (text.empty()) return {};
  const int source_length = static_cast<int>(text.size());
  const int length = MultiByteToWideChar(code_page, 0, text.data(), source_length, nullptr, 0);
  if (length <= 0) return {};
  std::u16string wide(static_cast<std::size_t>(length), u'\0');
  MultiByteToWideChar(code_page, 0, text.data(), source_length, reinterpret_cast<wchar_t*>(wide.data()), length);
  return wide;
}

std::string from_utf16(std::u16string_view wide, int code_page) {
  if (wide.empty()) return {};
  const auto* source = reinterpret_cast<const wchar_t*>(wide.data());
  const int source_length = static_cast<int>(wide.size());
  const int length = WideCharToMultiByte(code_page, 0, source, source_length, nullptr, 0, nullptr, nullptr);
  if (length <= 0) return {};
  std::string text(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(code_page, 0, source, source_length, text.data(), length, nullptr, nullptr);
  return text;
}

}  // namespace qw
