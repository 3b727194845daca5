// Turning the engine's words into the lines and cells the service answers with. All text is UTF-8.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qw {

// One recognised word with its horizontal extent in the picture's pixels.
struct TextWord {
  std::string text;
  int left = 0;
  int right = 0;
};

// One recognised line: its words in reading order and its box in the picture's pixels.
struct TextLine {
  std::vector<TextWord> words;
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
};

// True for characters written without spaces between them: CJK ideographs, kana, hangul, CJK
// punctuation and full-width forms.
bool is_unspaced_script(char32_t code_point);

// The words joined by single spaces, except where the characters on both sides of the gap are of an
// unspaced script: the engine separates every Chinese character as a word of its own, and a space
// there is an artefact, not text. A gap of `spaced_gap` pixels or more is a real space in any script.
std::string join_words(const std::vector<TextWord>& words, int spaced_gap = 1 << 30);
// The line's words joined, a gap of one and a half line heights or more counting as a space.
std::string line_text(const TextLine& line);

// The line cut into cells wherever the gap between two words is at least `gap_in_line_heights`
// times the line's height: the columns of a table are set that far apart, words of one cell never.
std::vector<std::string> split_cells(const TextLine& line, double gap_in_line_heights = 1.5);

}  // namespace qw
