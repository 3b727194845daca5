// Number layouts and the JSON writer and reader underneath the document.
#include "json/json_text.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <limits>
#include <map>
#include <string>
#include <vector>

namespace qw {
namespace {

TEST(JsonText, FormatNumberIsThirteenDigitsWithThreeDigitExponent) {
  struct Case { double number; const char* text; };
  for (const auto& c : {Case{110, "110"}, Case{1.5, "1.5"}, Case{0.00001, "1e-005"},
                        Case{1234567890123456.0, "1.234567890123e+015"}, Case{0, "0"}, Case{-0.0, "-0"},
                        Case{0.0001, "0.0001"}, Case{1e12, "1000000000000"}, Case{1e13, "1e+013"},
                        Case{-1.25e-7, "-1.25e-007"}, Case{1e100, "1e+100"}, Case{1.7976931348623157e308, "1.797693134862e+308"},
                        Case{4.9406564584124654e-324, "4.940656458412e-324"}, Case{0.1 + 0.2, "0.3"},
                        Case{123456789.987654321, "123456789.9877"}, Case{-42, "-42"}}) {
    EXPECT_EQ(format_number(c.number), c.text) << c.text;
  }
}

// The three-digit exponent aside, the layout is the C library's "%.13g".
TEST(JsonText, FormatNumberAgreesWithPrintfApartFromTheExponentWidth) {
  for (double number : {3.14159265358979, 2.5e-5, 9.999999999999e12, 9.9999999999999e12, 1e-4, 9.99999999999995e-5,
                        123.0, 6.02214076e23, -1.0 / 3}) {
    char printed[64];
    std::snprintf(printed, sizeof printed, "%.13g", number);
    std::string expected = printed;
    const auto e = expected.find('e');
    if (e != std::string::npos && expected.size() - (e + 2) < 3) expected.insert(e + 2, 1, '0');
    EXPECT_EQ(format_number(number), expected) << printed;
  }
}

TEST(JsonText, ScriptNumberTextIsShortestRoundTrip) {
  struct Case { double number; const char* text; };
  for (const auto& c : {Case{0, "0"}, Case{-0.0, "0"}, Case{1, "1"}, Case{110, "110"}, Case{1.5, "1.5"},
                        Case{0.00001, "0.00001"}, Case{0.000001, "0.000001"}, Case{0.0000001, "1e-7"},
                        Case{1.5e-7, "1.5e-7"}, Case{1e21, "1e+21"}, Case{1e20, "100000000000000000000"},
                        Case{123456789012345680000.0, "123456789012345680000"}, Case{1.2345e22, "1.2345e+22"},
                        Case{0.1 + 0.2, "0.30000000000000004"}, Case{-12.5, "-12.5"},
                        Case{5e-324, "5e-324"}, Case{1.7976931348623157e308, "1.7976931348623157e+308"}}) {
    EXPECT_EQ(script_number_text(c.number), c.text) << c.text;
  }
}

TEST(JsonText, StringifyIsCompactAndEscapesLikeJson2) {
  struct Case { const char* json; const char* text; };
  for (const auto& c : {
           Case{R"( { "a" : [ 1 , 2.50 , true , null ] , "b" : { } } )", R"({"a":[1,2.5,true,null],"b":{}})"},
           Case{R"("q\" b\\ s/ \b\f\n\r\t")", R"("q\" b\\ s/ \b\f\n\r\t")"},
           Case{R"("\u0001\u001f\u007f\u0085\u00ad\u0600\u070f\u17b4\u200d\u2028\u2060\ufeff\ufff0\uffff")",
                R"("\u0001\u001f\u007f\u0085\u00ad\u0600\u070f\u17b4\u200d\u2028\u2060\ufeff\ufff0\uffff")"},
           Case{R"("\u00e9\u4e2d\u2030\ud83d\ude00")", "\"\xC3\xA9\xE4\xB8\xAD\xE2\x80\xB0\xF0\x9F\x98\x80\""},
           Case{"-0", "0"}, Case{"1E2", "100"}, Case{"1.0", "1"}, Case{"12345678901234567890", "12345678901234567890"},
           Case{"-9223372036854775808", "-9223372036854775808"},
           Case{R"({"b":1,"a":2,"b":3})", R"({"b":3,"a":2})"},  // a repeated member keeps its place, last value wins
       }) {
    const auto value = parse_json(c.json);
    ASSERT_TRUE(value) << c.json;
    EXPECT_EQ(stringify(*value), c.text) << c.json;
  }
  EXPECT_EQ(stringify(JsonValue(std::numeric_limits<double>::infinity())), "null");
}

TEST(JsonText, ParseJsonTakesExactlyOneValue) {
  for (const char* text : {"", " ", "{", "[1,]", "{\"a\":1,}", "01", "+1", ".5", "1.", "0x10", "'a'", "{a:1}",
                           "[1] [2]", "NaN", "Infinity", "\"\\x41\"", "\"tab\there\"", "\"\\ud800\"", "/*c*/1",
                           "tru", "nul"}) {
    EXPECT_FALSE(parse_json(text)) << text;
  }
  for (const char* text : {"0", "-1.5e-3", "\"\"", "[]", "{}", " \r\n\t[null] ", "true", "null"}) {
    EXPECT_TRUE(parse_json(text)) << text;
  }
}

// Small objects and large ones settle repeated names by different means; both must agree with a
// script's JSON.parse: the first place, the last value, everything else in the order of the text.
TEST(JsonText, ParseJsonKeepsTheFirstPlaceAndTheLastValueOfARepeatedName) {
  // "m0".."m<count-1>" with the given values, in order.
  const auto members = [](int count, const std::map<int, std::string>& values) {
    std::string text;
    for (int i = 0; i < count; ++i) {
      const auto value = values.find(i);
      text += (i > 0 ? ",\"m" : "\"m") + std::to_string(i) + "\":" + (value == values.end() ? "0" : value->second);
    }
    return text;
  };
  struct Case { std::string json; std::string text; };
  const std::vector<Case> cases = {
      {R"({"a":1,"a":2,"a":3})", R"({"a":3})"},
      {R"({"a":{"x":1},"b":0,"a":[2]})", R"({"a":[2],"b":0})"},
      {R"({"a":[1],"a":{"y":{"z":2}}})", R"({"a":{"y":{"z":2}}})"},
      {R"([{"k":1,"k":2},{"k":3,"j":4,"k":5}])", R"([{"k":2},{"k":5,"j":4}])"},
      {R"({"":1,"b":2,"":3})", R"({"":3,"b":2})"},
      {R"({"\u0061":1,"a":2})", R"({"a":2})"},  // the same name, escaped or not
      {R"({"a":1,"a\u0000":2,"ab":3,"a":4})", R"({"a":4,"a\u0000":2,"ab":3})"},
      {R"({"k":1,"K":2,"k ":3})", R"({"k":1,"K":2,"k ":3})"},
      // More members than are compared pairwise.
      {"{" + members(40, {}) + "}", "{" + members(40, {}) + "}"},
      {"{" + members(40, {}) + ",\"m0\":1,\"m39\":2,\"m7\":3,\"m7\":4}",
       "{" + members(40, {{0, "1"}, {7, "4"}, {39, "2"}}) + "}"},
      {"{" + members(40, {{5, "{\"m1\":1,\"m1\":2}"}}) + ",\"m5\":{\"m2\":3}}",
       "{" + members(40, {{5, "{\"m2\":3}"}}) + "}"},
      {"{\"x\":1," + members(30, {}) + ",\"x\":2," + members(30, {{3, "5"}}) + "}",
       "{\"x\":2," + members(30, {{3, "5"}}) + "}"},
  };
  for (const auto& c : cases) {
    const auto value = parse_json(c.json);
    ASSERT_TRUE(value) << c.json;
    EXPECT_EQ(stringify(*value), c.text) << c.json;
  }
}

TEST(JsonText, ParseJsonRefusesNestingBeyondTheLimit) {
  const auto nested = [](int depth, char open, char close) {
    return std::string(depth, open) + std::string(depth, close);
  };
  EXPECT_TRUE(parse_json(nested(kMaxJsonDepth, '[', ']')));
  EXPECT_FALSE(parse_json(nested(kMaxJsonDepth + 1, '[', ']')));
  EXPECT_FALSE(parse_json(nested(200000, '[', ']')));
  std::string objects;
  for (int i = 0; i <= kMaxJsonDepth; ++i) objects += "{\"k\":";
  objects += "1" + std::string(kMaxJsonDepth + 1, '}');
  EXPECT_FALSE(parse_json(objects));
  // Brackets inside strings are text, not nesting.
  EXPECT_TRUE(parse_json("[\"" + std::string(100000, '[') + "\\\"" + "\"]"));
}

}  // namespace
}  // namespace qw
