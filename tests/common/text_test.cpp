#include "common/text.h"

#include <gtest/gtest.h>

#include <limits>

namespace qw {
namespace {

// GBK bytes written out, so that the cases read the same whatever the source charset does.
const std::string kZhong = "\xD6\xD0";      // 中
const std::string kFullSpace = "\xA1\xA1";  // full-width space
// 璽 is B1 5C and 咋 is D5 A6: a trail byte can look like "\" or an ASCII letter ("A" = 0x41).
const std::string kTrailA = "\x81\x41";     // a character whose trail byte is "A"

TEST(TextSearch, PositionsAreOneBasedAndMissIsMinusOne) {
  struct Case { std::string text, needle; int start; bool ignore_case; int expected; };
  const Case cases[] = {
      {"abcabc", "c", 1, false, 3},
      {"abcabc", "c", 4, false, 6},
      {"abcabc", "C", 1, false, -1},
      {"abcabc", "C", 1, true, 3},
      {"abc", "", 1, false, -1},
      {"", "a", 1, false, -1},
      {"abc", "c", 0, false, 3},
      {"abc", "c", 9, false, -1},
      {kZhong + "x", "x", 1, false, 3},
      // "A" inside a double-byte character is no match; the one after it is.
      {kTrailA + "A", "A", 1, false, 3},
      {kTrailA, "a", 1, true, -1},
      // A search for the trail byte plus the next character never starts mid-character.
      {kZhong + kZhong, "\xD0\xD6", 1, false, -1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(find_text(c.text, c.needle, c.start, c.ignore_case), c.expected) << c.text << " / " << c.needle;
  }
  EXPECT_EQ(find_last_text("a:b:c", ":"), 4);
  EXPECT_EQ(find_last_text(kTrailA + "xA", "A"), 4);
  EXPECT_EQ(find_last_text("abc", "z"), -1);
}

TEST(TextSpaces, OnlyAsciiAndFullWidthSpacesCount) {
  EXPECT_EQ(trim_spaces("  a b  "), "a b");
  EXPECT_EQ(trim_spaces(kFullSpace + " a" + kFullSpace), "a");
  EXPECT_EQ(trim_spaces("\ta\t"), "\ta\t");
  EXPECT_EQ(trim_spaces("   "), "");
  // A1 A1 spanning two characters (A1 ending one, A1 starting the next) is no space.
  EXPECT_EQ(trim_spaces("\xB0\xA1\xA1\xB0"), "\xB0\xA1\xA1\xB0");
  EXPECT_EQ(remove_spaces(" a" + kFullSpace + "b c "), "abc");
  EXPECT_EQ(remove_spaces("\xB0\xA1\xA1\xB0"), "\xB0\xA1\xA1\xB0");
}

TEST(TextCase, OnlyAsciiLettersChangeAndTrailBytesStay) {
  EXPECT_EQ(to_lower_ascii("HeLLo" + kTrailA + "Z"), "hello" + kTrailA + "z");
  EXPECT_EQ(to_upper_ascii("abc" + std::string("\x81\x61")), "ABC\x81\x61");
  EXPECT_TRUE(equals_ignore_case("Set-Cookie", "set-COOKIE"));
  EXPECT_FALSE(equals_ignore_case(kTrailA, "\x81\x61"));
  EXPECT_FALSE(equals_ignore_case("ab", "abc"));
  EXPECT_EQ(replace_all("set-cookie: a\r\nSET-COOKIE: b", "set-cookie", "Set-Cookie", true),
            "Set-Cookie: a\r\nSet-Cookie: b");
  EXPECT_EQ(replace_all("aaa", "a", "aa"), "aaaaaa");
}

TEST(TextSplit, SeparatorEndsItemsAndTrailingRestOnlyWhenNotEmpty) {
  using Items = std::vector<std::string>;
  EXPECT_EQ(split_text("a;b;", ";"), (Items{"a", "b"}));
  EXPECT_EQ(split_text("a;;b", ";"), (Items{"a", "", "b"}));
  EXPECT_EQ(split_text("", ";"), Items{});
  EXPECT_EQ(split_text(";", ";"), Items{""});
  EXPECT_EQ(split_text("a; b", "; "), (Items{"a", "b"}));
  EXPECT_EQ(split_text("x\r\ny\r\n", "\r\n"), (Items{"x", "y"}));
}

TEST(TextEnds, CountOfZeroOrLessGivesEmptyText) {
  EXPECT_EQ(left_text("abcdef", 2), "ab");
  EXPECT_EQ(left_text("abc", 0), "");
  EXPECT_EQ(left_text("abc", -1), "");
  EXPECT_EQ(left_text("abc", 10), "abc");
  EXPECT_EQ(right_text("abcdef", 2), "ef");
  EXPECT_EQ(right_text("abc", 0), "");
  EXPECT_EQ(right_text("abc", 10), "abc");
}

TEST(TextNumbers, FullWidthDigitsReadAsAscii) {
  struct Case { std::string text; double number; long long integer; };
  const Case cases[] = {
      {"3", 3, 3},
      {"  -12.5abc", -12.5, -12},
      {"+7", 7, 7},
      {"10.5", 10.5, 10},
      {"abc", 0, 0},
      {"", 0, 0},
      {".5", 0.5, 0},
      {"\xA3\xB1\xA3\xB2", 12, 12},                 // full-width 12
      {"\xA3\xAD\xA3\xB3\xA3\xAE\xA3\xB5", -3.5, -3},  // full-width -3.5
      {kFullSpace + "8", 8, 8},
      {"1e5", 1, 1},
      {"99999999999999999999", 1e20, 9223372036854775807LL},
  };
  for (const auto& c : cases) {
    EXPECT_DOUBLE_EQ(read_number(c.text), c.number) << c.text;
    EXPECT_EQ(read_integer(c.text), c.integer) << c.text;
  }
  // Beyond a double: still above 10 (so the batch boxes' limit applies), and a tiny fraction is 0.
  EXPECT_EQ(read_number("1" + std::string(400, '0')), std::numeric_limits<double>::infinity());
  EXPECT_EQ(read_number("-1" + std::string(400, '0')), -std::numeric_limits<double>::infinity());
  EXPECT_EQ(read_number("0." + std::string(400, '0') + "1"), 0.0);
}

TEST(TextLiterals, SourceLiteralsAreGbk) {
  EXPECT_EQ(std::string("中"), kZhong);
  EXPECT_EQ(std::string("识别完成耗时:"), "\xCA\xB6\xB1\xF0\xCD\xEA\xB3\xC9\xBA\xC4\xCA\xB1:");
  EXPECT_EQ(std::string(u8"中"), "\xE4\xB8\xAD");
}

}  // namespace
}  // namespace qw
