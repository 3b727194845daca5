// Text operations on GBK (code page 936) text held in std::string.
//
// Positions are 1-based and a search that finds nothing gives -1. Searches, case operations and
// trimming walk the text character by character, so a match never starts on the trail byte of a
// double-byte character and a trail byte that happens to look like an ASCII letter is left alone.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace qw {

// True for a byte that starts a two-byte GBK character (when another byte follows it).
constexpr bool is_gbk_lead_byte(unsigned char byte) { return byte >= 0x81 && byte <= 0xFE; }

// Length in bytes of the character that starts at `offset` (1 or 2).
int character_length(std::string_view text, std::size_t offset);

// 1-based position of the first `needle` at or after position `start`, or -1.
int find_text(std::string_view text, std::string_view needle, int start = 1, bool ignore_case = false);
// 1-based position of the last `needle`, or -1.
int find_last_text(std::string_view text, std::string_view needle, bool ignore_case = false);
bool contains_text(std::string_view text, std::string_view needle, bool ignore_case = false);
bool starts_with_text(std::string_view text, std::string_view prefix, bool ignore_case = false);

// Every `from` replaced by `to`, scanning left to right without rescanning what was inserted.
std::string replace_all(std::string_view text, std::string_view from, std::string_view to,
                        bool ignore_case = false);

// Spaces are the ASCII space and the full-width space A1 A1; nothing else counts.
std::string trim_spaces(std::string_view text);
std::string remove_spaces(std::string_view text);

// Only the ASCII letters A to Z change.
std::string to_lower_ascii(std::string_view text);
std::string to_upper_ascii(std::string_view text);
bool equals_ignore_case(std::string_view a, std::string_view b);

// Each separator ends one item (which may be empty); what follows the last separator is one more
// item only when it is not empty. ‹a;b;› gives two items, ‹a;;b› three, empty text none.
std::vector<std::string> split_text(std::string_view text, std::string_view separator);

// The first or last `count` bytes; a count of 0 or less gives empty text.
std::string left_text(std::string_view text, long long count);
std::string right_text(std::string_view text, long long count);

// Full-width characters become their ASCII forms (A3 A1..A3 FE, and A1 A1 as a space).
std::string full_width_to_ascii(std::string_view text);

// Leading white space is skipped, then an optional sign, digits and a fraction are read; a text
// that does not begin that way reads as 0. Full-width characters count as their ASCII forms.
double read_number(std::string_view text);
// As read_number, without a fraction.
long long read_integer(std::string_view text);

std::string decimal_text(long long value);

}  // namespace qw
