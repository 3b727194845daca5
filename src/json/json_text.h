// Number and JSON texts of a document's value. Everything here is UTF-8; the document converts to
// and from GBK at its edges.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace qw {

using JsonValue = nlohmann::ordered_json;

// Deeper nesting is refused when a text is read: the copies and the writer recurse once per level,
// and a worker thread's stack must survive any answer a server sends.
constexpr int kMaxJsonDepth = 512;

// "%.13g" with an exponent of at least three digits, as the Windows runtime prints it, on every
// target: 110 -> "110", 0.00001 -> "1e-005", 1234567890123456 -> "1.234567890123e+015".
std::string format_number(double number);

// The shortest text that reads back as the same double, laid out the way a script writes numbers:
// 0.00001 -> "0.00001", 1e21 -> "1e+21", 1.0 -> "1", -0.0 -> "0".
std::string script_number_text(double number);

// Compact JSON (no spaces). Strings escape what the json2 writer escapes, so invisible and
// formatting characters survive as \uXXXX even where GBK has no place for them. A number that is
// not finite is written as null.
std::string stringify(const JsonValue& value);

// Exactly one JSON value with optional white space around it, nested at most kMaxJsonDepth deep.
// A member name that repeats keeps its first place and takes its last value. The time grows with
// the text's length (n log n at worst, for an object's member names), however the text is built.
std::optional<JsonValue> parse_json(std::string_view utf8);

}  // namespace qw
