#include "service/form_body.h"

#include <array>

namespace qw {
namespace {

int hex_digit_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

constexpr std::array<int, 256> make_base64_table() {
  std::array<int, 256> table{};
  for (auto& value : table) value = -1;
  constexpr std::string_view alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  for (std::size_t i = 0; i < alphabet.size(); ++i) table[static_cast<unsigned char>(alphabet[i])] = static_cast<int>(i);
  return table;
}
constexpr auto kBase64Values = make_base64_table();

}  // namespace

std::string form_decode(std::string_view text) {
  std::string decoded;
  decoded.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '+') {
      decoded += ' ';
    } else if (c == '%' && i + 2 < text.size() && hex_digit_value(text[i + 1]) >= 0 &&
               hex_digit_value(text[i + 2]) >= 0) {
      decoded += static_cast<char>(hex_digit_value(text[i + 1]) * 16 + hex_digit_value(text[i + 2]));
      i += 2;
    } else {
      decoded += c;
    }
  }
  return decoded;
}

std::map<std::string, std::string> parse_form_body(std::string_view body) {
  std::map<std::string, std::string> fields;
  std::size_t start = 0;
  while (start <= body.size()) {
    std::size_t end = body.find('&', start);
    if (end == std::string_view::npos) end = body.size();
    const std::string_view pair = body.substr(start, end - start);
    if (!pair.empty()) {
      const std::size_t equals = pair.find('=');
      const std::string_view name = pair.substr(0, equals);
      const std::string_view value = equals == std::string_view::npos ? std::string_view{} : pair.substr(equals + 1);
      fields[form_decode(name)] = form_decode(value);
    }
    start = end + 1;
  }
  return fields;
}

std::optional<Bytes> base64_decode(std::string_view text) {
  Bytes decoded;
  decoded.reserve(text.size() / 4 * 3 + 3);
  std::uint32_t group = 0;
  int group_length = 0;
  int padding = 0;
  for (const char c : text) {
    if (c == '\r' || c == '\n') continue;
    if (c == '=') {
      ++padding;
      continue;
    }
    const int value = kBase64Values[static_cast<unsigned char>(c)];
    if (value < 0 || padding > 0) return std::nullopt;  // a stray byte, or data after the padding
    group = (group << 6) | static_cast<std::uint32_t>(value);
    if (++group_length == 4) {
      decoded.push_back(static_cast<std::uint8_t>(group >> 16));
      decoded.push_back(static_cast<std::uint8_t>(group >> 8));
      decoded.push_back(static_cast<std::uint8_t>(group));
      group = 0;
      group_length = 0;
    }
  }
  if (padding > 2) return std::nullopt;
  if (group_length == 1) return std::nullopt;
  if (group_length == 2) {
    decoded.push_back(static_cast<std::uint8_t>(group >> 4));
  } else if (group_length == 3) {
    decoded.push_back(static_cast<std::uint8_t>(group >> 10));
    decoded.push_back(static_cast<std::uint8_t>(group >> 2));
  }
  return decoded;
}

}  // namespace qw
