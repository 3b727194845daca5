// Changing a document: setters, arrays, removal, reset, member names.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "json/json_document.h"

namespace qw {
namespace {

JsonDocument document_of(const char* json) {
  JsonDocument document;
  EXPECT_TRUE(document.parse(json)) << json;
  return document;
}

TEST(JsonEditing, SetMemberStoresPlainTextExactlyAsGiven) {
  JsonDocument document;
  for (const char* text : {"it's", "'", "a\\nb", "\"quoted\"", "", "中文'引号", "{\"not\":\"json\"}"}) {
    document.set_member("value", text);
    EXPECT_EQ(document.get_text("value"), text);
    EXPECT_EQ(document.get_type("value"), kJsonTypeString) << text;
  }
  document.set_member("value", "it's");
  EXPECT_EQ(document.to_json(), R"({"value":"it's"})");
}

TEST(JsonEditing, SetMemberWithJsonTakesOneJsonValue) {
  struct Case { const char* text; const char* stored; };
  for (const auto& c : {Case{"[1,{\"b\":\"中\"}]", "[1,{\"b\":\"中\"}]"}, Case{"5", "5"}, Case{"\"s\"", "\"s\""},
                        Case{"null", "null"}, Case{"", "{}"}, Case{" true ", "true"}}) {
    JsonDocument document;
    document.set_member("m", c.text, true);
    EXPECT_EQ(document.get_member_json("m"), c.stored) << c.text;
  }
  // A text that is not JSON changes nothing.
  for (const char* text : {"{a:1}", "'x'", "alert(1)", "1,2", "[", "new Array()"}) {
    JsonDocument document = document_of(R"({"m":"old"})");
    document.set_member("m", text, true);
    document.set_member_json("m", text);
    EXPECT_EQ(document.to_json(), R"({"m":"old"})") << text;
  }
}

TEST(JsonEditing, SetMemberJsonWithNothingLeavesTheMemberUndefined) {
  JsonDocument document = document_of(R"({"m":1,"k":[1,2]})");
  document.set_member_json("m", "{\"x\":[]}");
  EXPECT_EQ(document.get_member_json("m"), R"({"x":[]})");
  document.set_member_json("m", "");
  EXPECT_FALSE(document.has_member("m"));
  EXPECT_EQ(document.get_count("m"), -2);
  document.set_member_json("k[0]", "");
  EXPECT_EQ(document.to_json(), R"({"k":[null,2]})");
}

TEST(JsonEditing, SettersWriteOnlyWhereTheScriptCould) {
  JsonDocument document = document_of(R"({"o":{},"a":[0],"s":"x","n":null})");
  document.set_member("o.new", "1");           // new member of an object
  document.set_member("a[2]", "2");            // past the end: the gap becomes null
  document.set_member("o[7]", "seven");        // an index names an object member
  document.set_member("s.x", "ignored");       // a string holds no members
  document.set_member("a.x", "invisible");     // an array's named property never shows in JSON
  document.set_member("n.x", "fails");         // writing into null fails
  document.set_member("missing.x", "fails");   // ... and into nothing
  document.set_member("[0]", "fails");         // keys always follow a "."
  document.set_member("", "fails");
  document.set_member("a[-1]", "invisible");
  EXPECT_EQ(document.to_json(), R"({"o":{"new":"1","7":"seven"},"a":[0,null,"2"],"s":"x","n":null})");

  document.set_member("a[1000000]", "too far");
  EXPECT_EQ(document.get_count("a"), 3);

  JsonDocument failed;
  EXPECT_FALSE(failed.parse("broken"));
  failed.set_member("a", "1");
  failed.set_member_number("a", 1);
  failed.push_value("1", "a");
  EXPECT_EQ(failed.to_json(), "null");
}

TEST(JsonEditing, SetMemberNumberStoresThePrintedNumber) {
  struct Case { double number; const char* text; const char* json; };
  for (const auto& c : {Case{110, "110", "110"}, Case{1.5, "1.5", "1.5"}, Case{0.00001, "1e-005", "0.00001"},
                        Case{1234567890123456.0, "1.234567890123e+015", "1234567890123000"},
                        Case{0.1 + 0.2, "0.3", "0.3"}, Case{-2.5e-300, "-2.5e-300", "-2.5e-300"}}) {
    JsonDocument document;
    document.set_member_number("n", c.number);
    EXPECT_EQ(document.get_text("n"), c.text) << c.text;
    EXPECT_EQ(document.get_member_json("n"), c.json) << c.text;
    EXPECT_EQ(document.get_type("n"), kJsonTypeNumber) << c.text;
  }
  JsonDocument document = document_of(R"({"n":1})");
  document.set_member_number("n", std::numeric_limits<double>::infinity());
  document.set_member_number("n", std::numeric_limits<double>::quiet_NaN());
  EXPECT_EQ(document.to_json(), R"({"n":1})");
}

TEST(JsonEditing, PushValueTurnsANonArrayIntoAnArrayFirst) {
  struct Case { const char* start; const char* value; const char* path; bool is_json; const char* result; };
  for (const auto& c : {
           Case{R"({"a":"x"})", "v", "a", false, R"({"a":["v"]})"},
           Case{R"({"a":[1]})", "2", "a", false, R"({"a":[1,"2"]})"},
           Case{R"({"a":[1]})", "2", "a", true, R"({"a":[1,2]})"},
           Case{R"({"a":[1]})", R"({"b":null})", "a", true, R"({"a":[1,{"b":null}]})"},
           Case{R"({"a":{"k":1}})", "it's", "a", false, R"({"a":["it's"]})"},
           Case{R"({})", "v", "fresh", false, R"({"fresh":["v"]})"},
           Case{R"({"a":null})", "v", "a", false, R"({"a":["v"]})"},
           Case{R"({"a":{}})", "v", "a.b", false, R"({"a":{"b":["v"]}})"},
           Case{R"({"a":[[1]]})", "v", "a[0]", false, R"({"a":[[1,"v"]]})"},
           Case{R"({"a":"x"})", "", "a", true, R"({"a":[]})"},        // converted, nothing appended
           Case{R"({"a":"x"})", "", "a", false, R"({"a":[""]})"},
           Case{R"({"k":1})", "v", "", false, R"(["v"])"},              // the value itself
           Case{R"([1])", "2", "", true, R"([1,2])"},
           Case{R"({"a":"x"})", "not json", "a", true, R"({"a":"x"})"},  // nothing at all happens
           Case{R"({"a":"x"})", "1,2", "a", true, R"({"a":"x"})"},
           Case{R"({"a":"x"})", "v", "missing.b", false, R"({"a":"x"})"},
           Case{R"({"a":"x"})", "v", "a.b", false, R"({"a":"x"})"},
           Case{R"({"a":"x"})", "v", "[0]", false, R"({"a":"x"})"},
       }) {
    JsonDocument document = document_of(c.start);
    document.push_value(c.value, c.path, c.is_json);
    EXPECT_EQ(document.to_json(), c.result) << c.start << " push " << c.value << " at " << c.path;
  }
}

TEST(JsonEditing, SetElementWritesIntoTheValueItself) {
  struct Case { const char* start; int index; const char* value; bool is_json; const char* result; };
  for (const auto& c : {Case{"[1,2]", 0, "x", false, R"(["x",2])"}, Case{"[1,2]", 1, "[3]", true, "[1,[3]]"},
                        Case{"[1,2]", 3, "4", true, "[1,2,null,4]"}, Case{"[1,2]", -1, "x", false, "[1,2]"},
                        Case{"[1,2]", 0, "", true, "[1,2]"}, Case{"[1,2]", 0, "bad", true, "[1,2]"},
                        Case{R"({"a":1})", 0, "x", false, R"({"a":1,"0":"x"})"},
                        Case{"\"text\"", 0, "x", false, "\"text\""}}) {
    JsonDocument document = document_of(c.start);
    document.set_element(c.index, c.value, c.is_json);
    EXPECT_EQ(document.to_json(), c.result) << c.start << " [" << c.index << "] = " << c.value;
  }
}

TEST(JsonEditing, RemoveElementSplicesOneElement) {
  struct Case { const char* start; int index; const char* result; };
  for (const auto& c : {Case{"[1,2,3]", 0, "[2,3]"}, Case{"[1,2,3]", 2, "[1,2]"}, Case{"[1,2,3]", 3, "[1,2,3]"},
                        Case{"[1,2,3]", -1, "[1,2]"}, Case{"[1,2,3]", -3, "[2,3]"}, Case{"[1,2,3]", -9, "[2,3]"},
                        Case{"[]", 0, "[]"}, Case{R"({"0":1})", 0, R"({"0":1})"}}) {
    JsonDocument document = document_of(c.start);
    document.remove_element(c.index);
    EXPECT_EQ(document.to_json(), c.result) << c.start << " remove " << c.index;
  }
}

TEST(JsonEditing, RemoveMemberDeletesOneMember) {
  JsonDocument document = document_of(R"({"a":1,"b":{"c":2,"d":3},"e":[1,2],"3":"x"})");
  for (const char* key : {"a", "b.c", "e[0]", "[3]", "missing", "missing.x", "", "e.x"}) {
    document.remove_member(key);
  }
  // An array element leaves a hole, which JSON shows as null.
  EXPECT_EQ(document.to_json(), R"({"b":{"d":3},"e":[null,2],"3":"x"})");
}

TEST(JsonEditing, ResetCodes) {
  struct Case { int code; const char* result; };
  for (const auto& c : {Case{0, "{}"}, Case{4, "{}"}, Case{5, "[]"}, Case{3, "[1]"}, Case{2, "[1]"},
                        Case{6, "[1]"}, Case{-1, "[1]"}, Case{1, "[1]"}}) {
    JsonDocument document = document_of("[1]");
    document.reset(c.code);
    EXPECT_EQ(document.to_json(), c.result) << c.code;
  }
  JsonDocument document = document_of("[1]");
  document.clear();
  EXPECT_EQ(document.to_json(), "{}");
}

TEST(JsonEditing, SetValueReplacesTheWholeValue) {
  struct Case { const char* value; bool is_json; const char* result; };
  for (const auto& c : {Case{"text's", false, "\"text's\""}, Case{"", false, "\"\""}, Case{"[1]", true, "[1]"},
                        Case{"null", true, "null"}, Case{"", true, R"({"k":1})"}, Case{"{k:2}", true, R"({"k":1})"}}) {
    JsonDocument document = document_of(R"({"k":1})");
    document.set_value(c.value, c.is_json);
    EXPECT_EQ(document.to_json(), c.result) << c.value;
  }
}

TEST(JsonEditing, HasMemberIsFalseForNull) {
  JsonDocument document = document_of(R"({"n":null,"z":0,"e":"","f":false,"o":{"p":null},"a":[null]})");
  struct Case { const char* key; bool present; };
  for (const auto& c : {Case{"n", false}, Case{"missing", false}, Case{"z", true}, Case{"e", true},
                        Case{"f", true}, Case{"o", true}, Case{"o.p", false}, Case{"a[0]", false},
                        Case{"n.x", false}, Case{"", false}}) {
    EXPECT_EQ(document.has_member(c.key), c.present) << c.key;
  }
}

TEST(JsonEditing, MemberNamesAreFilteredAndSplitAsText) {
  struct Case { const char* json; const char* path; std::vector<std::string> names; };
  for (const auto& c : {
           Case{R"({"a":1,"b":2})", "", {"a", "b"}},
           Case{R"({})", "", {}},
           Case{R"({"z":1,"a":2,"m":3})", "", {"z", "a", "m"}},           // insertion order
           Case{R"({"list":[5,6,7]})", "list", {"0", "1", "2"}},
           Case{R"({"o":{"x":1}})", "o", {"x"}},
           Case{R"({"s":"text","n":1,"t":true,"u":null})", "s", {}},
           Case{R"({"s":"text"})", "n", {}},
           Case{R"({"s":"text"})", "[0]", {}},
           Case{R"({"a,b":1,"c":2})", "", {"a", "b", "c"}},              // a comma splits a name
           Case{R"({"":1,"c":2})", "", {"", "c"}},
           Case{R"({"toJSONString":1,"parseJSON":2,"keep":3})", "", {"keep"}},
           // The filter removes text, separator included, so what is left of two names runs together.
           Case{R"({"xtoJSONString":1,"yparseJSON":2,"z":3})", "", {"xyz"}},
           Case{R"({"名称":1})", "", {"名称"}},
       }) {
    JsonDocument document = document_of(c.json);
    std::vector<std::string> names{"left", "over"};
    EXPECT_EQ(document.get_member_names(names, c.path), static_cast<int>(c.names.size())) << c.json;
    EXPECT_EQ(names, c.names) << c.json;
  }
}

}  // namespace
}  // namespace qw
