#include "recognition/encodings.h"

#include <gtest/gtest.h>

#include <random>

namespace qw {
namespace {

Bytes bytes_of(std::string_view text) { return Bytes(text.begin(), text.end()); }

TEST(Base64, MatchesRfc4648Vectors) {
  const std::pair<std::string, std::string> cases[] = {
      {"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"foob", "Zm9vYg=="},
      {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"}, {std::string("\xFB\xFF\xBF", 3), "+/+/"},
      {std::string("\0\0", 2), "AAA="},
  };
  for (const auto& [input, expected] : cases) EXPECT_EQ(base64_encode(bytes_of(input)), expected) << input;
}

TEST(PercentEncode, KeepsAlphanumericsAndEscapesTheRest) {
  char buffer[64];
  const std::string source = "a b+/=";
  EXPECT_EQ(percent_encode(source.data(), static_cast<int>(source.size()), buffer, 63), 12);
  EXPECT_STREQ(buffer, "a+b%2B%2F%3D");
  const std::string marks = "-._~\xD6";
  EXPECT_EQ(percent_encode(marks.data(), 5, buffer, 63), 15);
  EXPECT_STREQ(buffer, "%2D%2E%5F%7E%D6");
}

TEST(PercentEncode, RefusesBadArgumentsAndNeverWritesPastTheCapacity) {
  char buffer[16];
  std::fill(std::begin(buffer), std::end(buffer), '#');
  EXPECT_EQ(percent_encode(nullptr, 3, buffer, 10), 0);
  EXPECT_EQ(percent_encode("abc", 0, buffer, 10), 0);
  EXPECT_EQ(percent_encode("abc", 3, nullptr, 10), 0);
  EXPECT_EQ(percent_encode("abc", 3, buffer, 0), 0);
  EXPECT_EQ(buffer[0], '#');

  // Plain characters stop at the capacity, with the zero in the extra byte.
  EXPECT_EQ(percent_encode("abcdef", 6, buffer, 4), 4);
  EXPECT_STREQ(buffer, "abcd");
  EXPECT_EQ(buffer[5], '#');

  // An escape that does not fit returns 0 at once and writes no zero.
  std::fill(std::begin(buffer), std::end(buffer), '#');
  EXPECT_EQ(percent_encode("ab/", 3, buffer, 5), 0);
  EXPECT_EQ(std::string(buffer, 3), "ab#");
  EXPECT_EQ(percent_encode("a/", 2, buffer, 5), 4);
  EXPECT_STREQ(buffer, "a%2F");
  EXPECT_EQ(buffer[5], '#');
}

TEST(DecodeAnswer, PercentDecodesThenConvertsUtf8ToGbk) {
  struct Case { std::string input; bool convert; std::string expected; };
  const Case cases[] = {
      {"100%25", true, "100%"},
      {"%41", true, "A"},
      {"abc%", true, "abc"},
      {"%4", true, std::string(1, '\x40')},  // second digit past the end counts as 0
      {"%zz", false, std::string(1, static_cast<char>((16 * -2 + -2) & 0xFF))},
      {"a%00b", true, "ab"},
      {"%E4%B8%AD", true, "\xD6\xD0"},
      {"\xE4\xB8\xAD", true, "\xD6\xD0"},
      {"\xE4\xB8\xAD", false, "\xE4\xB8\xAD"},
      {"\"%\",\"x\"", false, "\"\xDE\"x\""},  // a "%" swallows the next two bytes, whatever they are
  };
  for (const auto& c : cases) EXPECT_EQ(decode_answer(c.input, c.convert), c.expected) << c.input;
}

TEST(WideConversions, UseTheGivenCodePageOrUtf8AndGbk) {
  EXPECT_EQ(text_to_wide("\xE4\xB8\xAD", 936, false), u"\u4E2D");
  EXPECT_EQ(text_to_wide("\xD6\xD0", 936, true), u"\u4E2D");
  EXPECT_EQ(wide_to_text(u"\u4E2D", 65001, true), "\xE4\xB8\xAD");
  EXPECT_EQ(wide_to_text(u"\u4E2D", 65001, false), "\xD6\xD0");
  EXPECT_EQ(utf8_to_gbk("\xE8\xAF\x86\xE5\x88\xAB"), "识别");
}

std::string reference_form_body(const Bytes& picture) {
  const std::string base64 = base64_encode(picture);
  std::string buffer(3 * base64.size() + 2, ' ');  // an escape needs room past its end
  const int n = percent_encode(base64.data(), static_cast<int>(base64.size()), buffer.data(),
                               static_cast<int>(buffer.size() - 1));
  return "image=" + buffer.substr(0, static_cast<std::size_t>(n));
}

TEST(ImageFormBody, EqualsBase64ThenPercentEncoding) {
  std::mt19937 random(7);
  for (std::size_t size : {0u, 1u, 2u, 3u, 4u, 5u, 6u, 100u, 1001u, 65537u}) {
    Bytes picture(size);
    for (auto& b : picture) b = static_cast<std::uint8_t>(random());
    const auto body = image_form_body(picture);
    ASSERT_TRUE(body);
    EXPECT_EQ(*body, reference_form_body(picture)) << size;
  }
  // Every byte value in every position of a group.
  Bytes all;
  for (int i = 0; i < 256 * 3; ++i) all.push_back(static_cast<std::uint8_t>(i / 3 + i % 3 * 85));
  EXPECT_EQ(*image_form_body(all), reference_form_body(all));
}

TEST(ImageFormBody, RefusesWhatDoesNotFitTheFormBuffer) {
  const Bytes picture(300, 0xFF);  // Base64 "////": every character escaped
  const std::size_t encoded = reference_form_body(picture).size() - 6;
  EXPECT_FALSE(image_form_body(picture.data(), picture.size(), encoded));
  EXPECT_TRUE(image_form_body(picture.data(), picture.size(), encoded + 1));
  const Bytes big(7'600'000, 0xFF);
  EXPECT_FALSE(image_form_body(big));
}

}  // namespace
}  // namespace qw
