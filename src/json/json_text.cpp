#include "json/json_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>

namespace qw {
namespace {

// std::to_chars writes the same digits on every target and never looks at a locale; printf does
// not (glibc and mingw print two exponent digits, msvcrt three).
std::string pad_exponent_to_three_digits(std::string text) {
  const auto e = text.find('e');
  if (e == std::string::npos || e + 2 > text.size()) return text;
  const std::size_t digits_start = e + 2;  // past "e" and its sign
  const std::size_t digit_count = text.size() - digits_start;
  if (digit_count < 3) text.insert(digits_start, 3 - digit_count, '0');
  return text;
}

bool needs_unicode_escape(std::uint32_t code_point) {
  return code_point < 0x20 || (code_point >= 0x7F && code_point <= 0x9F) || code_point == 0xAD ||
         (code_point >= 0x600 && code_point <= 0x604) || code_point == 0x70F || code_point == 0x17B4 ||
         code_point == 0x17B5 || (code_point >= 0x200C && code_point <= 0x200F) ||
         (code_point >= 0x2028 && code_point <= 0x202F) ||
         (code_point >= 0x2060 && code_point <= 0x206F) || code_point == 0xFEFF ||
         (code_point >= 0xFFF0 && code_point <= 0xFFFF);
}

// Strings inside a JsonValue are valid UTF-8 (the parser and the GBK conversion guarantee it).
std::size_t utf8_sequence_length(unsigned char lead) {
  if (lead < 0x80) return 1;
  if ((lead & 0xE0) == 0xC0) return 2;
  if ((lead & 0xF0) == 0xE0) return 3;
  return 4;
}

std::uint32_t decode_utf8(std::string_view sequence) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(sequence[i]); };
  switch (sequence.size()) {
    case 1: return byte(0);
    case 2: return ((byte(0) & 0x1Fu) << 6) | (byte(1) & 0x3Fu);
    case 3: return ((byte(0) & 0x0Fu) << 12) | ((byte(1) & 0x3Fu) << 6) | (byte(2) & 0x3Fu);
    default:
      return ((byte(0) & 0x07u) << 18) | ((byte(1) & 0x3Fu) << 12) | ((byte(2) & 0x3Fu) << 6) |
             (byte(3) & 0x3Fu);
  }
}

void append_quoted(std::string& out, std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  out += '"';
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t length = std::min(utf8_sequence_length(static_cast<unsigned char>(text[i])),
                                        text.size() - i);
    const std::string_view sequence = text.substr(i, length);
    i += length;
    const std::uint32_t code_point = decode_utf8(sequence);
    switch (code_point) {
      case '"': out += "\\\""; continue;
      case '\\': out += "\\\\"; continue;
      case '\b': out += "\\b"; continue;
      case '\f': out += "\\f"; continue;
      case '\n': out += "\\n"; continue;
      case '\r': out += "\\r"; continue;
      case '\t': out += "\\t"; continue;
      default: break;
    }
    if (needs_unicode_escape(code_point)) {
      out += "\\u";
      for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(code_point >> shift) & 0xF];
    } else {
      out += sequence;
    }
  }
  out += '"';
}

void append_json(std::string& out, const JsonValue& value) {
  switch (value.type()) {
    case JsonValue::value_t::object: {
      out += '{';
      bool first = true;
      for (const auto& [key, member] : value.items()) {
        if (!first) out += ',';
        first = false;
        append_quoted(out, key);
        out += ':';
        append_json(out, member);
      }
      out += '}';
      return;
    }
    case JsonValue::value_t::array: {
      out += '[';
      bool first = true;
      for (const auto& element : value) {
        if (!first) out += ',';
        first = false;
        append_json(out, element);
      }
      out += ']';
      return;
    }
    case JsonValue::value_t::string:
      append_quoted(out, value.get_ref<const std::string&>());
      return;
    case JsonValue::value_t::boolean:
      out += value.get<bool>() ? "true" : "false";
      return;
    // Integers keep every digit they were read with, even beyond a double's 53 bits.
    case JsonValue::value_t::number_integer:
      out += std::to_string(value.get<std::int64_t>());
      return;
    case JsonValue::value_t::number_unsigned:
      out += std::to_string(value.get<std::uint64_t>());
      return;
    case JsonValue::value_t::number_float: {
      const double number = value.get<double>();
      out += std::isfinite(number) ? script_number_text(number) : "null";
      return;
    }
    default:
      out += "null";
      return;
  }
}

}  // namespace

std::string format_number(double number) {
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, number, std::chars_format::general, 13);
  return pad_exponent_to_three_digits(std::string(buffer, result.ptr));
}

std::string script_number_text(double number) {
  if (std::isnan(number)) return "NaN";
  if (std::isinf(number)) return number > 0 ? "Infinity" : "-Infinity";
  if (number == 0) return "0";

  // Shortest round-trip digits d1.d2...dk and exponent, then the script language's layout rules.
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, number, std::chars_format::scientific);
  const std::string_view scientific(buffer, static_cast<std::size_t>(result.ptr - buffer));
  const bool negative = scientific.front() == '-';
  const auto e = scientific.find('e');
  std::string digits;
  for (const char c : scientific.substr(negative ? 1 : 0, e - (negative ? 1 : 0))) {
    if (c != '.') digits += c;
  }
  int exponent = 0;
  const std::string_view exponent_text = scientific.substr(e + 1);
  std::from_chars(exponent_text.data() + (exponent_text.front() == '+' ? 1 : 0),
                  exponent_text.data() + exponent_text.size(), exponent);

  const int k = static_cast<int>(digits.size());
  const int n = exponent + 1;  // the decimal point sits after the n-th digit
  std::string text = negative ? "-" : "";
  if (k <= n && n <= 21) {
    text += digits + std::string(static_cast<std::size_t>(n - k), '0');
  } else if (0 < n && n <= 21) {
    text += digits.substr(0, static_cast<std::size_t>(n)) + "." + digits.substr(static_cast<std::size_t>(n));
  } else if (-6 < n && n <= 0) {
    text += "0." + std::string(static_cast<std::size_t>(-n), '0') + digits;
  } else {
    text += digits.substr(0, 1);
    if (k > 1) text += "." + digits.substr(1);
    text += n - 1 < 0 ? "e-" : "e+";
    text += std::to_string(std::abs(n - 1));
  }
  return text;
}

std::string stringify(const JsonValue& value) {
  std::string out;
  append_json(out, value);
  return out;
}

}  // namespace qw
