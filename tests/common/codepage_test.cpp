#include "common/codepage.h"

#include <gtest/gtest.h>

#include "common/paths.h"
#include "support/temp_dir.h"
#include "common/file_io.h"

namespace qw {
namespace {

// The same table runs natively (iconv) and under Wine (MultiByteToWideChar / WideCharToMultiByte).
TEST(CodePage, GbkAndUtf8RoundTrip) {
  struct Case { std::string gbk; std::u16string wide; std::string utf8; };
  const Case cases[] = {
      {"", u"", ""},
      {"abc", u"abc", "abc"},
      {"\xD6\xD0\xCE\xC4", u"\u4E2D\u6587", "\xE4\xB8\xAD\xE6\x96\x87"},         // 中文
      {"\xCA\xB6\xB1\xF0 OK", u"\u8BC6\u522B OK", "\xE8\xAF\x86\xE5\x88\xAB OK"},  // 识别 OK
      {"\xA1\xA1", u"\u3000", "\xE3\x80\x80"},                                     // full-width space
      {"\xA3\xA5", u"\uFF05", "\xEF\xBC\x85"},                                     // full-width %
      {"\x80", u"\u20AC", "\xE2\x82\xAC"},                                         // euro sign, 936's 0x80
  };
  for (const auto& c : cases) {
    EXPECT_EQ(to_utf16(c.gbk, kCodePageGbk), c.wide);
    EXPECT_EQ(from_utf16(c.wide, kCodePageGbk), c.gbk);
    EXPECT_EQ(to_utf16(c.utf8, kCodePageUtf8), c.wide);
    EXPECT_EQ(from_utf16(c.wide, kCodePageUtf8), c.utf8);
    EXPECT_EQ(utf8_to_gbk(c.utf8), c.gbk);
    EXPECT_EQ(gbk_to_utf8(c.gbk), c.utf8);
  }
}

TEST(CodePage, CharacterGbkCannotShowBecomesAQuestionMark) {
  EXPECT_EQ(utf8_to_gbk("a\xE2\x98\x83" "b"), "a?b");                // snowman U+2603
  EXPECT_EQ(utf8_to_gbk("\xEA\xB0\x80\xD7\x90"), "??");               // Hangul, then Hebrew alef
  EXPECT_EQ(from_utf16(u"x\u0E01y", kCodePageGbk), "x?y");           // Thai
  EXPECT_EQ(utf8_to_gbk("a\xF0\x9F\x98\x80" "b"), "a??b");  // an emoji: one "?" per UTF-16 unit, as on Windows
}

TEST(CodePage, MalformedUtf8BecomesReplacementCharacter) {
  EXPECT_EQ(to_utf16("a\xFF" "b", kCodePageUtf8), u"a\uFFFDb");
  EXPECT_EQ(to_utf16("\xE4\xB8", kCodePageUtf8), u"\uFFFD");
}

TEST(Paths, ChineseFileNamesRoundTripThroughText) {
  testing::TempDir dir;
  const std::string name = "\xC5\xE4\xD6\xC3.ini";  // 配置.ini
  const auto file = dir.path() / path_from_text(name);
  ASSERT_TRUE(replace_file_atomically(file, "x"));
  EXPECT_TRUE(std::filesystem::exists(file));
  EXPECT_EQ(text_from_path(file.filename()), name);
  EXPECT_EQ(bytes_to_text(read_file_bytes(dir.path() / path_from_text(name))), "x");
}

TEST(Paths, ProgramDirectoryHoldsTheExecutable) {
  const auto exe = executable_path();
  EXPECT_TRUE(std::filesystem::exists(exe)) << exe;
  EXPECT_EQ(program_directory(), exe.parent_path());
}

}  // namespace
}  // namespace qw
