// Reading a document: parse, counts, types, texts, copies and the life cycle.
#include "json/json_document.h"

#include <gtest/gtest.h>

#include <limits>

#include <string>
#include <vector>

namespace qw {
namespace {

constexpr const char* kWordsAnswer = R"({"log_id":1,"words_result":[{"words":"a"},{"words":"b"}]})";

TEST(JsonDocument, StartsAsAnEmptyObjectNamedDa) {
  JsonDocument document;
  EXPECT_EQ(document.name(), "da");
  EXPECT_EQ(document.to_json(), "{}");
  EXPECT_EQ(document.get_type(), kJsonTypeObject);
  EXPECT_EQ(document.get_count(), 0);
}

TEST(JsonDocument, ReadsTheWordsResultAnswer) {
  JsonDocument document;
  ASSERT_TRUE(document.parse(kWordsAnswer));

  struct CountCase { const char* path; int count; };
  for (const auto& c : {CountCase{"words_result", 2}, CountCase{"log_id", 1}, CountCase{"", 2},
                        CountCase{"words_result[0]", 1}, CountCase{"words_result[1].words", 1},
                        CountCase{"words_result[2]", -2}, CountCase{"error_code", -2},
                        CountCase{"[0]", -2},  // the object has no member "0"
                        CountCase{"error_code.x", 0}, CountCase{"words_result[5].words", 0}}) {
    EXPECT_EQ(document.get_count(c.path), c.count) << c.path;
  }

  struct TypeCase { const char* path; int type; };
  for (const auto& c : {TypeCase{"words_result", kJsonTypeArray}, TypeCase{"words_result[0]", kJsonTypeObject},
                        TypeCase{"log_id", kJsonTypeNumber}, TypeCase{"words_result[0].words", kJsonTypeString},
                        TypeCase{"", kJsonTypeObject}, TypeCase{"error_msg", kJsonTypeNull},
                        TypeCase{"error_msg.x", kJsonTypeOther}, TypeCase{"[0]", kJsonTypeOther}}) {
    EXPECT_EQ(document.get_type(c.path), c.type) << c.path;
  }

  struct TextCase { const char* path; bool as_json; const char* text; };
  for (const auto& c : {TextCase{"words_result[1].words", false, "b"}, TextCase{"log_id", false, "1"},
                        TextCase{"words_result[0].words", true, "\"a\""},
                        TextCase{"words_result", true, R"([{"words":"a"},{"words":"b"}])"},
                        TextCase{"words_result[0]", false, R"({"words":"a"})"},
                        TextCase{"", true, kWordsAnswer}, TextCase{"error_msg", false, ""},
                        TextCase{"error_msg", true, ""}, TextCase{"error_msg.x", true, ""}}) {
    EXPECT_EQ(document.get_text(c.path, c.as_json), c.text) << c.path;
  }
  EXPECT_EQ(document.to_json(), kWordsAnswer);
}

// A failed parse leaves null: reading a member of it cannot be evaluated at all (0, not the -2 of
// an absent member, and never the 1 of a present one).
TEST(JsonDocument, FailedParseLeavesNull) {
  for (const char* text : {"", "null", " null ", "{\"log_id\":", "{log_id:1}", "{'a':1}", "[1,]", "{} x",
                           "NaN", "undefined", "function(){}", "1 2", "\"unterminated"}) {
    JsonDocument document;
    EXPECT_FALSE(document.parse(text)) << text;
    EXPECT_EQ(document.get_count("log_id"), 0) << text;
    EXPECT_EQ(document.get_count("words_result"), 0) << text;
    EXPECT_EQ(document.get_text("error_msg"), "") << text;
    EXPECT_EQ(document.get_count(), -2) << text;
    EXPECT_EQ(document.get_type(), kJsonTypeNull) << text;
    EXPECT_EQ(document.get_type("log_id"), kJsonTypeOther) << text;
    EXPECT_EQ(document.to_json(), "null") << text;
  }
}

TEST(JsonDocument, ParseAcceptsAnyJsonValueButNull) {
  struct Case { const char* text; int type; int count; const char* plain; };
  for (const auto& c : {Case{"5", kJsonTypeNumber, 1, "5"}, Case{"\"x y\"", kJsonTypeString, 1, "x y"},
                        Case{"true", kJsonTypeOther, 1, "true"}, Case{" [ ] ", kJsonTypeArray, 0, "[]"},
                        Case{"{\"a\":null}", kJsonTypeObject, 1, "{\"a\":null}"}}) {
    JsonDocument document;
    EXPECT_TRUE(document.parse(c.text)) << c.text;
    EXPECT_EQ(document.get_type(), c.type) << c.text;
    EXPECT_EQ(document.get_count(), c.count) << c.text;
    EXPECT_EQ(document.get_text(""), c.plain) << c.text;
  }
}

// A number too large for a double does not cost the whole answer: it reads as infinity, as a
// script's reading of it does, and is written back as null, as JSON.stringify writes Infinity.
TEST(JsonDocument, NumbersBeyondADoubleReadAsInfinity) {
  JsonDocument document;
  ASSERT_TRUE(document.parse(R"({"log_id":1e400,"s":"1e999 \" -1e999","n":[-1e309,1E+000308,2.5],)"
                             R"("words_result":[{"words":"a"}]})"));
  EXPECT_EQ(document.get_count("words_result"), 1);
  EXPECT_EQ(document.get_text("words_result[0].words"), "a");
  EXPECT_EQ(document.get_count("log_id"), 1);
  EXPECT_EQ(document.get_type("log_id"), kJsonTypeNumber);
  EXPECT_EQ(document.get_number("log_id"), std::numeric_limits<double>::infinity());
  EXPECT_EQ(document.get_number("n[0]"), -std::numeric_limits<double>::infinity());
  EXPECT_EQ(document.get_text("s"), "1e999 \" -1e999");  // strings are left alone
  EXPECT_EQ(document.to_json(),
            R"({"log_id":null,"s":"1e999 \" -1e999","n":[null,1e+308,2.5],"words_result":[{"words":"a"}]})");
  EXPECT_FALSE(document.parse(R"({"a":1e400,})"));  // still exactly JSON
  EXPECT_FALSE(document.parse("[1e400e5]"));
}

// An answer of a few megabytes is read in one pass. Searching an object's earlier members for every
// new one would make this take minutes; the members must still come out in order, repeats merged.
TEST(JsonDocument, ReadsAnObjectOfTwoHundredThousandMembers) {
  constexpr int kMemberCount = 200'000;
  const auto member = [](int i, const std::string& value) { return "\"w" + std::to_string(i) + "\":" + value; };
  std::string answer = "{", expected = "{";
  for (int i = 0; i < kMemberCount; ++i) {
    const std::string separator = i > 0 ? "," : "";
    answer += separator + member(i, std::to_string(i));
    const std::string merged = i == 0 ? "\"first\"" : i == 100'000 ? "\"again\"" : std::to_string(i);
    expected += separator + member(i, merged);
  }
  answer += "," + member(100'000, "\"again\"") + "," + member(0, "\"first\"") + "}";
  expected += "}";

  JsonDocument document;
  ASSERT_TRUE(document.parse(answer));
  EXPECT_EQ(document.get_count(), kMemberCount);
  struct Case { const char* path; const char* text; };
  for (const auto& c : {Case{"w0", "first"}, Case{"w1", "1"}, Case{"w100000", "again"}, Case{"w150000", "150000"},
                        Case{"w199999", "199999"}, Case{"w200000", ""}}) {
    EXPECT_EQ(document.get_text(c.path), c.text) << c.path;
  }
  std::vector<std::string> names;
  ASSERT_EQ(document.get_member_names(names), kMemberCount);
  EXPECT_EQ(names.front(), "w0");
  EXPECT_EQ(names[100'000], "w100000");
  EXPECT_EQ(names.back(), "w199999");
  EXPECT_EQ(document.to_json(), expected);
}

TEST(JsonDocument, CountsFollowTheMemberCountRule) {
  JsonDocument document;
  ASSERT_TRUE(document.parse(R"({"short":"x","long":"a rather long string of text","empty_text":"",)"
                             R"("empty_list":[],"empty_object":{},"list":[1,2,3],"object":{"a":1,"b":2},)"
                             R"("number":0,"flag":false,"nothing":null})"));
  struct Case { const char* path; int count; };
  for (const auto& c : {Case{"short", 1}, Case{"long", 1}, Case{"empty_text", 1}, Case{"empty_list", 0},
                        Case{"empty_object", 0}, Case{"list", 3}, Case{"object", 2}, Case{"number", 1},
                        Case{"flag", 1}, Case{"nothing", -2}, Case{"absent", -2}, Case{"nothing.x", 0},
                        Case{"absent.x", 0}, Case{"short.x", -2}, Case{"list[3]", -2}, Case{"list[-1]", -2}}) {
    EXPECT_EQ(document.get_count(c.path), c.count) << c.path;
  }
}

TEST(JsonDocument, PlainTextOfNumbersUsesThirteenDigits) {
  JsonDocument document;
  ASSERT_TRUE(document.parse(R"({"a":110,"b":1.5,"c":0.00001,"d":1234567890123456,"e":-0.25,)"
                             R"("f":1e300,"g":0.1,"h":123456789012.5,"n":null,"t":true,"s":"110"})"));
  struct Case { const char* path; const char* text; };
  for (const auto& c : {Case{"a", "110"}, Case{"b", "1.5"}, Case{"c", "1e-005"}, Case{"d", "1.234567890123e+015"},
                        Case{"e", "-0.25"}, Case{"f", "1e+300"}, Case{"g", "0.1"}, Case{"h", "123456789012.5"},
                        Case{"n", ""}, Case{"missing", ""}, Case{"t", "true"}, Case{"s", "110"}}) {
    EXPECT_EQ(document.get_text(c.path), c.text) << c.path;
  }
  // JSON keeps a script's number layout, not the thirteen-digit one.
  EXPECT_EQ(document.get_text("c", true), "0.00001");
  EXPECT_EQ(document.get_text("d", true), "1234567890123456");
}

TEST(JsonDocument, ArrayValueIsIndexedByBracketPaths) {
  JsonDocument document;
  ASSERT_TRUE(document.parse(R"([{"words":"x"},7,"s"])"));
  EXPECT_EQ(document.get_text("[0].words"), "x");
  EXPECT_EQ(document.get_text("[1]"), "7");
  EXPECT_EQ(document.get_text("[2]"), "s");
  EXPECT_EQ(document.get_text("[0]", true), R"({"words":"x"})");
  EXPECT_EQ(document.get_count("[0]"), 1);
  EXPECT_EQ(document.get_count(""), 3);
  // Operations joining with "." cannot take a path that starts with a bracket.
  EXPECT_EQ(document.get_type("[0]"), kJsonTypeOther);
  EXPECT_EQ(document.get_type(), kJsonTypeArray);
  EXPECT_EQ(document.get_element_text(2), "s");
  EXPECT_EQ(document.get_element_text(0, "", true), R"({"words":"x"})");
  EXPECT_EQ(document.get_element_text(3), "");
}

TEST(JsonDocument, PathsOfTheWrongShapeFail) {
  JsonDocument document;
  ASSERT_TRUE(document.parse(R"({"a":{"b":[10,20]}})"));
  for (const char* path : {"a..b", "a.", ".a", "a[x]", "a[]", "a b", "a.b[0", "a.b[1]]", "a.b.[0]", "a-b",
                           "a.1", "a;b"}) {
    EXPECT_EQ(document.get_count(path), 0) << path;
    EXPECT_EQ(document.get_type(path), kJsonTypeOther) << path;
    EXPECT_EQ(document.get_text(path), "") << path;
    EXPECT_FALSE(document.has_member(path)) << path;
  }
  // White space between the steps is allowed, as in a script.
  EXPECT_EQ(document.get_text(" a . b [ 1 ] "), "20");
}

TEST(JsonDocument, KeysAreJoinedWithADot) {
  JsonDocument document;
  ASSERT_TRUE(document.parse(R"({"n":42,"s":"7.5","t":true,"w":"x7","o":{"k":[1,{"z":-3}]}})"));
  struct Case { const char* key; double number; const char* json; };
  for (const auto& c : {Case{"n", 42, "42"}, Case{"s", 7.5, "\"7.5\""}, Case{"t", 1, "true"}, Case{"w", 0, "\"x7\""},
                        Case{"o.k[1].z", -3, "-3"}, Case{"o", 0, R"({"k":[1,{"z":-3}]})"}, Case{"missing", 0, ""},
                        Case{"", 0, ""}, Case{"[0]", 0, ""}}) {
    EXPECT_EQ(document.get_number(c.key), c.number) << c.key;
    EXPECT_EQ(document.get_member_json(c.key), c.json) << c.key;
  }
}

TEST(JsonDocument, ChineseTextRoundTripsAsGbk) {
  const std::string answer = "{\"words_result\":[{\"words\":\"青梧 识别\"}],\"键\":\"值\"}";
  JsonDocument document;
  ASSERT_TRUE(document.parse(answer));
  EXPECT_EQ(document.get_text("words_result[0].words"), "青梧 识别");
  EXPECT_EQ(document.get_text("键"), "值");
  EXPECT_EQ(document.to_json(), answer);
  EXPECT_EQ(document.get_text("words_result", true), "[{\"words\":\"青梧 识别\"}]");
}

TEST(JsonDocument, GetDocumentOutlivesItsSource) {
  auto source = std::make_unique<JsonDocument>();
  ASSERT_TRUE(source->parse(kWordsAnswer));
  JsonDocument part = source->get_document("words_result[1]");
  JsonDocument list = source->get_document("words_result");
  JsonDocument element = source->get_element_document(0, "words_result");

  ASSERT_TRUE(source->parse(R"({"other":true})"));
  source->set_member("words_result", "gone");
  EXPECT_EQ(part.get_text("words"), "b");
  source->destroy();
  source.reset();
  EXPECT_EQ(part.to_json(), R"({"words":"b"})");
  EXPECT_EQ(list.get_text("[0].words"), "a");
  EXPECT_EQ(element.get_text("words"), "a");

  // The copies are deep: changing one leaves the others alone.
  list.set_element(0, "changed");
  EXPECT_EQ(element.get_text("words"), "a");
}

TEST(JsonDocument, GetDocumentOfNothingHoldsNull) {
  JsonDocument source;
  ASSERT_TRUE(source.parse(R"({"a":null,"b":"text"})"));
  for (const char* path : {"a", "missing", "missing.x", "[0]"}) {
    JsonDocument part = source.get_document(path);
    EXPECT_EQ(part.to_json(), "null") << path;
    EXPECT_EQ(part.get_count(), -2) << path;
  }
  EXPECT_EQ(source.get_document("b").get_text(""), "text");
  EXPECT_EQ(source.get_element_document(0, "b").to_json(), "null");
}

TEST(JsonDocument, CopySharesTheValueUntilEitherParses) {
  JsonDocument source;
  ASSERT_TRUE(source.parse(R"({"a":1})"));
  JsonDocument copy = source.copy();
  EXPECT_EQ(copy.name(), "da");
  source.set_member("b", "x");
  EXPECT_EQ(copy.get_text("b"), "x");
  copy.reset(kJsonTypeArray);
  EXPECT_EQ(source.to_json(), "[]");

  ASSERT_TRUE(copy.parse(R"({"c":2})"));
  source.set_value("alone");
  EXPECT_EQ(copy.to_json(), R"({"c":2})");
  EXPECT_EQ(source.to_json(), "\"alone\"");

  // A failed parse moves to a fresh value just the same.
  JsonDocument second = source.copy();
  EXPECT_FALSE(source.parse("not json"));
  EXPECT_EQ(second.get_text(""), "alone");
  EXPECT_EQ(source.to_json(), "null");
}

TEST(JsonDocument, DestroyedDocumentFailsUntilInitialised) {
  JsonDocument document;
  ASSERT_TRUE(document.parse(kWordsAnswer));
  JsonDocument copy = document.copy();
  document.destroy();
  EXPECT_EQ(copy.get_count("words_result"), 2);  // the copy still holds the value

  EXPECT_EQ(document.name(), "");
  EXPECT_FALSE(document.parse(kWordsAnswer));
  EXPECT_EQ(document.get_count(), 0);
  EXPECT_EQ(document.get_type(), kJsonTypeOther);
  EXPECT_EQ(document.get_text("log_id"), "");
  EXPECT_EQ(document.to_json(), "");
  EXPECT_EQ(document.get_number("log_id"), 0);
  EXPECT_FALSE(document.has_member("log_id"));
  document.set_member("a", "b");
  document.reset(kJsonTypeArray);
  EXPECT_EQ(document.to_json(), "");
  std::vector<std::string> names{"stale"};
  EXPECT_EQ(document.get_member_names(names), 0);
  EXPECT_TRUE(names.empty());
  EXPECT_EQ(document.copy().to_json(), "");
  EXPECT_EQ(document.get_document("").to_json(), "null");

  document.initialise();
  EXPECT_EQ(document.to_json(), "{}");
  EXPECT_TRUE(document.parse(kWordsAnswer));
}

TEST(JsonDocument, MovedFromDocumentIsDestroyed) {
  JsonDocument source;
  source.set_member("a", "1");
  JsonDocument target = std::move(source);
  EXPECT_EQ(target.get_text("a"), "1");
  EXPECT_EQ(source.to_json(), "");  // NOLINT(bugprone-use-after-move): a defined, empty state
}

}  // namespace
}  // namespace qw
