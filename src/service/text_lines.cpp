#include "service/text_lines.h"

#include <algorithm>

namespace qw {
namespace {

// The code point that starts or ends `text` (U+FFFD for a malformed sequence, 0 for empty text).
char32_t decode_at(std::string_view text, std::size_t start) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(start);
  int length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
  if (length == 0 || start + length > text.size()) return 0xFFFD;
  if (length == 1) return lead;
  char32_t code_point = lead & (0x7F >> length);
  for (int i = 1; i < length; ++i) code_point = (code_point << 6) | (byte(start + i) & 0x3F);
  return code_point;
}

char32_t first_code_point(std::string_view text) { return text.empty() ? 0 : decode_at(text, 0); }

char32_t last_code_point(std::string_view text) {
  if (text.empty()) return 0;
  std::size_t start = text.size() - 1;
  while (start > 0 && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80) --start;
  return decode_at(text, start);
}

}  // namespace

bool is_unspaced_script(char32_t c) {
  return (c >= 0x2E80 && c <= 0x9FFF) ||   // CJK radicals, punctuation, kana, ideographs
         (c >= 0xAC00 && c <= 0xD7AF) ||   // hangul syllables
         (c >= 0xF900 && c <= 0xFAFF) ||   // compatibility ideographs
         (c >= 0xFE30 && c <= 0xFE4F) ||   // vertical forms
         (c >= 0xFF00 && c <= 0xFFEF) ||   // full-width forms
         (c >= 0x20000 && c <= 0x3FFFF);   // ideograph extensions
}

namespace {

// The engine reads Chinese punctuation as its ASCII look-alike, set apart as a word of its own.
bool is_sentence_mark(char32_t c) {
  return c == ',' || c == ':' || c == ';' || c == '!' || c == '?' || c == '.' || c == '(' || c == ')';
}

// The full-width form that Chinese text uses for an ASCII sentence mark after an ideograph.
std::string_view full_width_mark(char32_t mark) {
  switch (mark) {
    case ',': return u8"，";
    case ':': return u8"：";
    case ';': return u8"；";
    case '!': return u8"！";
    case '?': return u8"？";
    case '(': return u8"（";
    case ')': return u8"）";
    default: return {};
  }
}

}  // namespace

std::string join_words(const std::vector<TextWord>& words, int spaced_gap) {
  std::string joined;
  const TextWord* previous = nullptr;
  for (const TextWord& word : words) {
    if (word.text.empty()) continue;
    std::string text = word.text;
    const char32_t before = last_code_point(joined);
    const char32_t first = first_code_point(text);
    // A lone mark after an ideograph is Chinese punctuation.
    if (text.size() == 1 && is_unspaced_script(before) && !full_width_mark(first).empty()) {
      text = std::string(full_width_mark(first));
    }
    const char32_t start = first_code_point(text);
    const bool wide_gap = previous && word.left - previous->right >= spaced_gap;
    const bool unspaced =
        !wide_gap && is_unspaced_script(before) && (is_unspaced_script(start) || is_sentence_mark(start));
    if (!joined.empty() && !unspaced) joined += ' ';
    joined += text;
    previous = &word;
  }
  return joined;
}

// Word boxes of Chinese text are loose: gaps of up to a line's height occur inside one phrase.
int spaced_gap_of(const TextLine& line) { return std::max(1, line.height * 3 / 2); }

std::string line_text(const TextLine& line) { return join_words(line.words, spaced_gap_of(line)); }

std::vector<std::string> split_cells(const TextLine& line, double gap_in_line_heights) {
  std::vector<std::string> cells;
  std::vector<TextWord> cell_words;
  const double wide_gap = gap_in_line_heights * (line.height > 0 ? line.height : 1);
  for (const TextWord& word : line.words) {
    if (!cell_words.empty() && word.left - cell_words.back().right >= wide_gap) {
      cells.push_back(join_words(cell_words, spaced_gap_of(line)));
      cell_words.clear();
    }
    cell_words.push_back(word);
  }
  if (!cell_words.empty()) cells.push_back(join_words(cell_words, spaced_gap_of(line)));
  return cells;
}

}  // namespace qw
