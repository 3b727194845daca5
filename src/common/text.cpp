#include "common/text.h"

#include <cctype>
#include <charconv>
#include <limits>

namespace qw {
namespace {

constexpr unsigned char kFullWidthRow = 0xA3;
constexpr unsigned char kSymbolRow = 0xA1;

char lower_ascii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c; }
char upper_ascii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - ('a' - 'A')) : c; }

// Compares `needle` with the text at `offset`. Ignoring case touches only single-byte characters:
// both bytes of a double-byte character must match exactly.
bool bytes_equal_at(std::string_view text, std::size_t offset, std::string_view needle, bool ignore_case) {
  if (offset + needle.size() > text.size()) return false;
  for (std::size_t i = 0; i < needle.size(); ++i) {
    const char a = text[offset + i];
    const char b = needle[i];
    if (!ignore_case || a == b) {
      if (a != b) return false;
      if (ignore_case && is_gbk_lead_byte(static_cast<unsigned char>(a)) && i + 1 < needle.size()) {
        if (text[offset + i + 1] != needle[i + 1]) return false;
        ++i;
      }
      continue;
    }
    if (lower_ascii(a) != lower_ascii(b)) return false;
  }
  return true;
}

bool is_full_width_space(std::string_view text, std::size_t offset) {
  return offset + 1 < text.size() && static_cast<unsigned char>(text[offset]) == kSymbolRow &&
         static_cast<unsigned char>(text[offset + 1]) == kSymbolRow;
}

// Length of the space character at `offset` (1 or 2), or 0 when it is no space.
int space_length(std::string_view text, std::size_t offset) {
  if (text[offset] == ' ') return 1;
  return is_full_width_space(text, offset) ? 2 : 0;
}

template <typename CharMap>
std::string map_single_byte_characters(std::string_view text, CharMap map) {
  std::string result(text);
  for (std::size_t i = 0; i < result.size();) {
    const int length = character_length(text, i);
    if (length == 1) result[i] = map(result[i]);
    i += length;
  }
  return result;
}

}  // namespace

int character_length(std::string_view text, std::size_t offset) {
  return (is_gbk_lead_byte(static_cast<unsigned char>(text[offset])) && offset + 1 < text.size()) ? 2 : 1;
}

int find_text(std::string_view text, std::string_view needle, int start, bool ignore_case) {
  if (needle.empty() || text.empty()) return -1;
  const std::size_t first = start > 1 ? static_cast<std::size_t>(start - 1) : 0;
  for (std::size_t i = 0; i < text.size(); i += character_length(text, i)) {
    if (i >= first && bytes_equal_at(text, i, needle, ignore_case)) return static_cast<int>(i + 1);
  }
  return -1;
}

int find_last_text(std::string_view text, std::string_view needle, bool ignore_case) {
  int last = -1;
  if (needle.empty()) return last;
  for (std::size_t i = 0; i < text.size(); i += character_length(text, i)) {
    if (bytes_equal_at(text, i, needle, ignore_case)) last = static_cast<int>(i + 1);
  }
  return last;
}

bool contains_text(std::string_view text, std::string_view needle, bool ignore_case) {
  return find_text(text, needle, 1, ignore_case) != -1;
}

bool starts_with_text(std::string_view text, std::string_view prefix, bool ignore_case) {
  return !prefix.empty() && bytes_equal_at(text, 0, prefix, ignore_case);
}

std::string replace_all(std::string_view text, std::string_view from, std::string_view to, bool ignore_case) {
  if (from.empty()) return std::string(text);
  std::string result;
  result.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    if (bytes_equal_at(text, i, from, ignore_case)) {
      result.append(to);
      i += from.size();
    } else {
      const int length = character_length(text, i);
      result.append(text.substr(i, length));
      i += length;
    }
  }
  return result;
}

std::string trim_spaces(std::string_view text) {
  std::size_t begin = 0;
  while (begin < text.size()) {
    const int length = space_length(text, begin);
    if (length == 0) break;
    begin += length;
  }
  std::size_t end = begin;  // end of the last character that is not a space
  for (std::size_t i = begin; i < text.size();) {
    const int length = character_length(text, i);
    if (space_length(text, i) == 0) end = i + length;
    i += length;
  }
  return std::string(text.substr(begin, end - begin));
}

std::string remove_spaces(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const int length = character_length(text, i);
    if (space_length(text, i) == 0) result.append(text.substr(i, length));
    i += length;
  }
  return result;
}

std::string to_lower_ascii(std::string_view text) { return map_single_byte_characters(text, lower_ascii); }
std::string to_upper_ascii(std::string_view text) { return map_single_byte_characters(text, upper_ascii); }

bool equals_ignore_case(std::string_view a, std::string_view b) {
  return a.size() == b.size() && (a.empty() || bytes_equal_at(a, 0, b, true));
}

std::vector<std::string> split_text(std::string_view text, std::string_view separator) {
  std::vector<std::string> items;
  if (text.empty()) return items;
  if (separator.empty()) {
    items.emplace_back(text);
    return items;
  }
  std::size_t item_start = 0;
  for (std::size_t i = 0; i < text.size();) {
    if (bytes_equal_at(text, i, separator, false)) {
      items.emplace_back(text.substr(item_start, i - item_start));
      i += separator.size();
      item_start = i;
    } else {
      i += character_length(text, i);
    }
  }
  if (item_start < text.size()) items.emplace_back(text.substr(item_start));
  return items;
}

std::string left_text(std::string_view text, long long count) {
  if (count <= 0) return {};
  return std::string(text.substr(0, static_cast<std::size_t>(count)));
}

std::string right_text(std::string_view text, long long count) {
  if (count <= 0) return {};
  const std::size_t n = static_cast<std::size_t>(count);
  return n >= text.size() ? std::string(text) : std::string(text.substr(text.size() - n));
}

std::string full_width_to_ascii(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const int length = character_length(text, i);
    const auto lead = static_cast<unsigned char>(text[i]);
    if (length == 2 && lead == kFullWidthRow && static_cast<unsigned char>(text[i + 1]) >= 0xA1 &&
        static_cast<unsigned char>(text[i + 1]) <= 0xFE) {
      result.push_back(static_cast<char>(static_cast<unsigned char>(text[i + 1]) - 0x80));
    } else if (length == 2 && is_full_width_space(text, i)) {
      result.push_back(' ');
    } else {
      result.append(text.substr(i, length));
    }
    i += length;
  }
  return result;
}

namespace {

// The number at the start of `raw` (after white space) as ASCII text: sign, digits and, when
// wanted, a fraction. Empty when the text does not begin with a number.
struct NumberText {
  bool negative = false;
  std::string digits;  // integer digits, then "." and fraction digits when present
};

NumberText number_text(std::string_view raw, bool with_fraction) {
  const std::string text = full_width_to_ascii(raw);
  NumberText number;
  std::size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    number.negative = text[i] == '-';
    ++i;
  }
  const auto is_digit = [&](std::size_t at) { return at < text.size() && text[at] >= '0' && text[at] <= '9'; };
  const std::size_t begin = i;
  while (is_digit(i)) ++i;
  bool has_digit = i > begin;
  if (with_fraction && i < text.size() && text[i] == '.') {
    std::size_t j = i + 1;
    while (is_digit(j)) ++j;
    if (j > i + 1 || has_digit) {
      has_digit = has_digit || j > i + 1;
      i = j;
    }
  }
  if (has_digit) number.digits = text.substr(begin, i - begin);
  return number;
}

}  // namespace

double read_number(std::string_view text) {
  const NumberText number = number_text(text, true);
  if (number.digits.empty()) return 0;
  std::string digits = number.digits;
  if (digits.front() == '.') digits.insert(digits.begin(), '0');
  double value = 0;
  const auto result = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (result.ec == std::errc::result_out_of_range) {
    // Beyond a double: a whole part that large reads as infinity, a fraction that small as 0.
    const std::string_view whole = std::string_view(digits).substr(0, digits.find('.'));
    value = whole.find_first_not_of('0') != std::string_view::npos ? std::numeric_limits<double>::infinity() : 0.0;
  }
  return number.negative ? -value : value;
}

long long read_integer(std::string_view text) {
  const NumberText number = number_text(text, false);
  if (number.digits.empty()) return 0;
  long long value = 0;
  const auto result = std::from_chars(number.digits.data(), number.digits.data() + number.digits.size(), value);
  if (result.ec == std::errc::result_out_of_range) value = std::numeric_limits<long long>::max();
  return number.negative ? -value : value;
}

std::string decimal_text(long long value) { return std::to_string(value); }

}  // namespace qw
